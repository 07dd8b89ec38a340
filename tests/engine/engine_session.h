#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_engine.h"
#include "capture/recorder_config.h"
#include "frame_log.h"
#include "logging_clock.h"
#include "platform/capture_service.h"
#include "platform/x11/capture_geometry.h"
#include "tapped_capture_service.h"

namespace vantorel::testing {

// One recording made by the real engine on the real services: the X11 capture service on an X
// server, the system sound through PulseAudio, and the FFmpeg writer. The test sees what the
// engine was handed (the frame log) and when it ended the file's timeline (the clock's last
// reading). Every wait has a generous guard that only keeps a broken engine from hanging the
// run. Used from the test's thread.
class EngineSession {
  public:
    static constexpr std::chrono::seconds kPatience{60};

    // `displayName` empty: $DISPLAY. `lag`: how long the recorder is kept from each buffer, as
    // if it were busy.
    explicit EngineSession(const std::string& displayName = {}, std::chrono::milliseconds lag = {});
    ~EngineSession();

    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // The display whose top-left corner is at (x, y) in global points, as the service lists it.
    std::optional<CaptureDisplay> displayAt(double x, double y);

    // A configuration for `points` of `display` (relative to its top-left corner).
    static RecorderConfig configFor(const CaptureDisplay& display, const CaptureRect& points,
                                    int64_t frameRate, bool capturesAudio,
                                    const std::filesystem::path& output);
    // The root-window pixels under `points` of `display`.
    static PixelRect rootRectFor(const CaptureDisplay& display, const CaptureRect& points);

    // Starts the recording and waits for the answer: null on success.
    ErrorRef start(const RecorderConfig& config);
    // Stops and waits for the result; absent when the engine never answered.
    std::optional<StopResult> stop();

    const FrameLog& log() const { return *log_; }
    // Frames the stream handed over for the recorder, taken in or not.
    uint64_t deliveredFrames() const;
    FrameLog& log() { return *log_; }
    // Where the engine ended the file's timeline: its last reading of the host clock.
    MediaTime timelineEnd() const { return clock_->lastReading(); }

    // What onFailure was called with, in order. Any thread.
    std::vector<ErrorRef> failures() const;
    // Waits until onFailure has been called at least once.
    bool waitForFailure();

  private:
    struct Failures {
        mutable std::mutex mutex;
        std::condition_variable changed;
        std::vector<ErrorRef> errors;
    };

    std::shared_ptr<FrameLog> log_ = std::make_shared<FrameLog>();
    std::shared_ptr<LoggingClock> clock_ = std::make_shared<LoggingClock>();
    std::shared_ptr<Failures> failures_ = std::make_shared<Failures>();
    std::shared_ptr<TappedCaptureService> service_;
    std::shared_ptr<CaptureEngine> engine_;
};

}  // namespace vantorel::testing
