#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "capture/capture_source.h"
#include "capture/mp4_writer.h"

namespace vantorel {

// The rules by which what a source captures goes into the file, applied as each frame and block
// arrives, on the source's own threads:
// - only complete frames are written, and the file's timeline starts at the first one, even
//   when the writer is too busy to take that frame itself;
// - sound before that first picture is dropped, so a file never starts with sound alone;
// - a frame or block the writer cannot take at once is dropped, never waited for;
// - a failure, of the writer or of the source, is reported once, and after it nothing more is
//   taken.
// Thread-safe: video and sound come from different threads and meet under one lock, held only
// for the few steps of each rule (appending is a push onto the writer's queue).
class RecordingIntake final : public CaptureSink {
  public:
    // `onFailure` runs at most once, on the thread that found the failure; it must not wait.
    RecordingIntake(Mp4Writer& writer, std::function<void(const Error&)> onFailure);

    void take(const VideoFrame& frame) override;
    void take(SoundBlock block) override;
    void sourceStopped(const Error& error) override;

    // Once the source has stopped. When the first complete frame arrived, nothing if none did.
    std::optional<int64_t> sessionStart() const;
    // Where the file's timeline ends: `now`, so that the last picture stays on screen until the
    // stop, but never before the last frame written; that frame's time when `now` is unknown.
    int64_t sessionEnd(std::optional<int64_t> now) const;

  private:
    // With the lock held. True when the writer can take more.
    bool writerHealthy();
    void reportFailure(const Error& error);

    Mp4Writer& writer_;
    const std::function<void(const Error&)> onFailure_;
    mutable std::mutex mutex_;
    std::optional<int64_t> sessionStart_;
    std::optional<int64_t> lastVideo_;
    bool reportedFailure_ = false;
};

}  // namespace vantorel
