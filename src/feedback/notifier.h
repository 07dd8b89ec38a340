#pragma once

#include <QString>

namespace vantorel {

// Tells the user that a recording was saved, exactly once per call. Main thread only.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void setup() = 0;
    virtual void notifySaved(const QString& path) = 0;
};

}  // namespace vantorel
