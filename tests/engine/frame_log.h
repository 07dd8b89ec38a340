#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "platform/media_time.h"
#include "platform/sample_buffer.h"

namespace vantorel::testing {

// What a recorder was handed by its stream, noted on the recorder's own sample queue in the
// order it saw it, so that the first complete frame noted here is where the file's timeline
// starts.
class FrameLog {
  public:
    static constexpr std::chrono::seconds kPatience{30};

    // Called on the sample queue.
    void note(const SampleBuffer& buffer, StreamOutputType type);

    // Host time of the first complete frame; invalid before one arrived. Any thread.
    MediaTime firstCompleteFrame() const;
    // Host time of the latest complete frame; invalid before one arrived. Any thread.
    MediaTime lastCompleteFrame() const;
    size_t completeFrames() const;
    size_t soundBlocks() const;
    // Waits until `count` complete frames arrived; false if they never did. Any thread.
    bool waitForCompleteFrames(size_t count);
    bool waitForSoundBlocks(size_t count);

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    MediaTime first_ = MediaTime::invalid();
    MediaTime last_ = MediaTime::invalid();
    size_t complete_ = 0;
    size_t sound_ = 0;
};

}  // namespace vantorel::testing
