#pragma once

#include <QRectF>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "selection/selection.h"

class QScreen;

namespace vantorel {

// The parts the recording flow drives, seen through the few operations it needs of each, so
// that the flow can run against stand-ins in tests.

// The region-selection overlay. It closes itself before it reports a confirmed region.
class SelectionOverlay {
  public:
    virtual ~SelectionOverlay() = default;
    virtual void show() = 0;
    // Closes and reports the cancel once; nothing when already closed.
    virtual void cancel() = 0;
    // Closes without reporting anything.
    virtual void close() = 0;
};
using SelectionOverlayFactory = std::function<std::unique_ptr<SelectionOverlay>(
    std::function<void(const Selection&)> onRecord, std::function<void()> onCancel)>;

// The 3-2-1 panel shown over the confirmed region.
class CountdownPanel {
  public:
    virtual ~CountdownPanel() = default;
    virtual void show(int number) = 0;
    virtual void setNumber(int number) = 0;
    virtual void close() = 0;
};
using CountdownPanelFactory = std::function<std::unique_ptr<CountdownPanel>(const Selection&)>;

// A window shown while a capture starts and runs: the outline or the stop pill.
class IndicatorWindow {
  public:
    virtual ~IndicatorWindow() = default;
    virtual void orderFront() = 0;
    virtual void close() = 0;
};
using OutlineFactory =
    std::function<std::unique_ptr<IndicatorWindow>(QScreen* screen, const QRectF& rect)>;
// Null when the pill has no place outside the recorded region `rect` (in `screen`'s coordinates).
using StopPillFactory = std::function<std::unique_ptr<IndicatorWindow>(
    QScreen* screen, const QRectF& rect, std::function<void()> action)>;

// Whether the screen may be captured, and where the user grants it.
class ScreenCaptureAccess {
  public:
    virtual ~ScreenCaptureAccess() = default;
    virtual bool preflight() = 0;
    virtual void request() = 0;
    // Opens the place where capture is allowed; false when there is none to open.
    virtual bool openSettings() = 0;
};

// The number under which the capture service lists the display of a screen.
using DisplayIdLookup = std::function<std::optional<uint32_t>(QScreen* screen)>;

// A registered system-wide shortcut; releasing it unregisters.
class HotKeyRegistration {
  public:
    virtual ~HotKeyRegistration() = default;
};
using HotKeyFactory =
    std::function<std::unique_ptr<HotKeyRegistration>(std::function<void()> action)>;

// Keeps the machine from sleeping before a running recording has been saved.
class SleepGuard {
  public:
    virtual ~SleepGuard() = default;
    // A recording started: hold off sleep until it is finished.
    virtual void recordingStarted() = 0;
    // The recording's file is finished (saved or removed): sleep may go on.
    virtual void recordingFinished() = 0;
};

}  // namespace vantorel
