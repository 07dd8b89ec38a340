#pragma once

namespace vantorel {

// The 3-2-1 panel shown over a confirmed region. Main thread only.
class CountdownPanel {
  public:
    virtual ~CountdownPanel() = default;
    virtual void show(int number) = 0;
    virtual void setNumber(int number) = 0;
    // Takes the panel down; more than once does no harm.
    virtual void close() = 0;
};

}  // namespace vantorel
