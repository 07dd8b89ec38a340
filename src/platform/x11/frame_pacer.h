#pragma once

#include <chrono>
#include <optional>

#include "platform/sample_buffer.h"

namespace vantorel {

// Decides, at each tick of the capture thread, whether a frame is due and with which status:
// `complete` while a change inside the region is pending (from the start on), otherwise `idle`
// once `idleInterval` has passed since the last frame. A frame that could not be delivered
// keeps the change pending. Used on the capture thread only.
class FramePacer {
  public:
    using Clock = std::chrono::steady_clock;

    explicit FramePacer(Clock::duration idleInterval);

    void markChanged() { changed_ = true; }
    std::optional<FrameStatus> due(Clock::time_point now) const;
    // A frame with `status` went out at `now`.
    void delivered(FrameStatus status, Clock::time_point now);

  private:
    Clock::duration idleInterval_;
    bool changed_ = true;
    std::optional<Clock::time_point> lastFrame_;
};

}  // namespace vantorel
