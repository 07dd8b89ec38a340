#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/capture_service.h"
#include "platform/host_clock.h"
#include "platform/x11/capture_geometry.h"
#include "platform/x11/cursor_tracker.h"
#include "platform/x11/frame_pacer.h"
#include "platform/x11/pixel_buffer_pool.h"
#include "platform/x11/shm_image.h"
#include "platform/x11/xcb_handles.h"

namespace vantorel {

struct CaptureSessionSettings {
    std::string displayName;  // empty: $DISPLAY
    uint32_t displayID = 0;   // name atom of the RandR monitor
    double scale = 1.0;       // device pixels per point of that monitor
    CaptureRect sourceRect;   // points, relative to the monitor's top-left corner
    int width = 0;            // of the delivered frames
    int height = 0;
    std::chrono::nanoseconds frameInterval{16'666'667};
    bool showsCursor = true;
    int queueDepth = 3;
    std::chrono::nanoseconds idleInterval = std::chrono::seconds(1);
    // RandR sends no event when a monitor is set or deleted, so the list is re-read this often.
    std::chrono::nanoseconds monitorCheckInterval = std::chrono::seconds(1);
};

// The capture thread of one stream and everything it alone touches: its own X connection,
// the shared-memory image, the damage object, the cursor and the buffer pool. The thread wakes
// once per frame interval (waiting on a condition variable, never spinning), reads the
// server's events, and grabs a frame when one is due and a pooled buffer is free.
class CaptureSession : public std::enable_shared_from_this<CaptureSession> {
  public:
    using FrameSink = std::function<void(SampleBufferRef)>;
    using StopSink = std::function<void(ErrorRef)>;

    // Connects and prepares everything a grab needs; null with `error` set on failure.
    // Called on any thread; the result is then handed to start().
    static std::shared_ptr<CaptureSession> open(const CaptureSessionSettings& settings,
                                                ErrorRef& error);
    // Null when a session could be opened on the display's server (connection, extensions,
    // pixel format), else why not. Any thread.
    static ErrorRef probe(const std::string& displayName);
    ~CaptureSession();

    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Starts the capture thread. `onFrame` gets every frame and `onStopped` is called at most
    // once, both on the capture thread; `onStopped` only when the session ends by a failure.
    // Called once, from any thread.
    void start(FrameSink onFrame, StopSink onStopped);
    // Ends the thread without reporting and waits for it (unless called on it). Any thread;
    // more than one call does no harm.
    void stop();
    // Ends the thread and has it report `error` through onStopped, unless it is already
    // ending. Any thread.
    void fail(ErrorRef error);

    // Grabs left out because every pooled buffer was still held. Any thread.
    uint64_t skippedGrabs() const { return skipped_.load(); }
    // Frames handed to onFrame. Any thread.
    uint64_t deliveredFrames() const { return delivered_.load(); }

  private:
    explicit CaptureSession(const CaptureSessionSettings& settings);

    ErrorRef connect();
    ErrorRef prepareExtensions();
    ErrorRef locateRegion();
    ErrorRef ensureImageCapacity();
    void watchServer();

    void run();
    ErrorRef tick(FramePacer::Clock::time_point now);
    void drainEvents();
    void handleEvent(const xcb_generic_event_t& event);
    ErrorRef grabFrame(FrameStatus status, FramePacer::Clock::time_point now);

    CaptureSessionSettings settings_;

    // The connection outlives everything below that talks through it.
    XcbConnectionPtr connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    PixelRect screenRect_;
    PixelRect region_;
    uint8_t damageEventBase_ = 0;
    uint8_t xfixesEventBase_ = 0;
    uint8_t randrEventBase_ = 0;
    uint32_t damage_ = 0;
    std::unique_ptr<ShmImage> image_;
    std::unique_ptr<CursorTracker> cursor_;
    PixelBufferPool pool_;
    FramePacer pacer_;
    MonotonicClock clock_;
    bool monitorsStale_ = false;
    FramePacer::Clock::time_point nextMonitorCheck_{};

    FrameSink onFrame_;
    StopSink onStopped_;
    std::atomic<uint64_t> skipped_{0};
    std::atomic<uint64_t> delivered_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;  // guarded by mutex_
    ErrorRef failure_;            // guarded by mutex_
    std::thread thread_;          // guarded by mutex_
};

}  // namespace vantorel
