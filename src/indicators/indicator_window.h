#pragma once

namespace vantorel {

// A window shown while a capture starts and runs, such as the outline round the region. Built
// hidden. Main thread only.
class IndicatorWindow {
  public:
    virtual ~IndicatorWindow() = default;
    // Shows it above every other window without taking the focus.
    virtual void showOnTop() = 0;
    // Takes it down; more than once does no harm.
    virtual void close() = 0;
};

}  // namespace vantorel
