#pragma once

#include <QObject>

#include <map>
#include <mutex>
#include <string>

namespace vantorel {

// The device pixel ratio of each screen by name, kept up to date on the main thread and read
// from the capture service's thread. Thread-safe.
class ScreenScales final : public QObject {
    Q_OBJECT

  public:
    ScreenScales();

    // Any thread. 1 for a screen it does not know.
    double scaleFor(const std::string& screenName) const;

  private:
    void refresh();

    mutable std::mutex mutex_;
    std::map<std::string, double> scales_;
};

}  // namespace vantorel
