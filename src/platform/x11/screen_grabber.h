#pragma once

#include <xcb/xcb.h>

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "capture/capture_source.h"
#include "platform/x11/cursor_tracker.h"
#include "platform/x11/frame_pacer.h"
#include "platform/x11/shm_frame_pool.h"
#include "platform/x11/shm_image.h"
#include "platform/x11/x11_display.h"

namespace vantorel {

// Everything one capture needs on the X server, used on the grab thread alone: its connection,
// the monitor and the region on it, the damage object that tells complete frames from idle ones,
// the cursor, and the shared-memory pictures the server fills and the frames are delivered in.
class ScreenGrabber {
  public:
    using Clock = FramePacer::Clock;
    using Deliver = std::function<void(const VideoFrame&)>;

    // Connects, checks the server and finds the region; null with `error` set when it cannot.
    static std::unique_ptr<ScreenGrabber> open(const std::string& displayName,
                                               const CaptureRequest& request,
                                               std::optional<Error>& error);
    ~ScreenGrabber();

    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // One beat of the frame clock: reads what the server reported since the last one and
    // delivers a frame when one is due and a picture is free. The error that ends the capture.
    std::optional<Error> tick(Clock::time_point now, const Deliver& deliver);

    // Grabs left out because every picture was still held.
    uint64_t skippedGrabs() const { return skipped_; }

  private:
    ScreenGrabber(std::unique_ptr<X11Display> display, const CaptureRequest& request);

    // True once the capture runs: what goes wrong then is a loss rather than a failed start.
    bool running() const { return damage_ != 0; }
    std::optional<Error> locateRegion();
    // Whether the region is recorded at another size than it has on the screen.
    bool scales() const;
    // The picture a scaled grab lands in first, while the region is scaled.
    std::optional<Error> ensureScratchImage();
    void watchServer();
    void readEvents();
    std::optional<Error> checkMonitors(Clock::time_point now);
    std::optional<Error> grab(FrameChange change, Clock::time_point now, const Deliver& deliver);

    std::unique_ptr<X11Display> display_;
    const QString monitorName_;
    const PixelRect wanted_;  // relative to the monitor
    const bool showsCursor_;
    xcb_atom_t monitorAtom_ = XCB_ATOM_NONE;
    PixelRect region_;  // on the root window
    uint32_t damage_ = 0;
    std::unique_ptr<ShmImage> scratch_;
    std::unique_ptr<CursorTracker> cursor_;
    ShmFramePool pool_;
    FramePacer pacer_;
    Clock::time_point nextMonitorCheck_{};
    uint64_t skipped_ = 0;
};

}  // namespace vantorel
