#pragma once

#include <chrono>
#include <optional>

namespace vantorel {

// What a frame brings: new content, or a repeat sent only to say the capture is alive.
enum class FrameChange { complete, idle };

// Decides, at each tick of the grab thread, whether a frame is due and of which kind: `complete`
// while a change inside the region is pending (from the start on), otherwise `idle` once
// `idleInterval` has passed since the last frame. A frame that could not be delivered keeps the
// change pending. Used on the grab thread only.
class FramePacer {
  public:
    using Clock = std::chrono::steady_clock;

    explicit FramePacer(Clock::duration idleInterval);

    void markChanged() { changed_ = true; }
    std::optional<FrameChange> due(Clock::time_point now) const;
    // A frame of `change` went out at `now`.
    void delivered(FrameChange change, Clock::time_point now);

  private:
    Clock::duration idleInterval_;
    bool changed_ = true;
    std::optional<Clock::time_point> lastFrame_;
};

}  // namespace vantorel
