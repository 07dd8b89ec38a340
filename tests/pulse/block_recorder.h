#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio_source.h"

namespace vantorel::pulsetest {

// What an audio source has handed to a recorder's handlers so far.
struct Received {
    std::vector<SampleBufferRef> blocks;
    // CLOCK_MONOTONIC when each block reached the handler.
    std::vector<int64_t> arrivalNs;
    std::vector<ErrorRef> losses;
    // Handler calls after close().
    int lateCalls = 0;
    // Handlers running at this moment.
    int running = 0;
};

// Collects the blocks and losses of an audio source and lets the test wait for them.
// The handlers share the recorder's state, so they stay safe to call after it is gone.
class BlockRecorder {
  public:
    BlockRecorder();

    // Handlers to pass to start(). Called on the source's thread.
    AudioSource::BlockHandler blockHandler();
    AudioSource::LossHandler lossHandler();
    // Runs inside every block handler, after the block was recorded. Set before start().
    void setBlockHook(std::function<void()> hook);

    // Waits until `done` holds. False when it does not within a generous guard, so that a
    // broken source fails the test instead of hanging it. Called on the test's thread.
    bool waitUntil(const std::function<bool(const Received&)>& done);
    Received snapshot() const;
    // Any handler call from now on is counted as late.
    void close();

  private:
    struct State {
        mutable std::mutex mutex;
        std::condition_variable changed;
        Received received;
        bool closed = false;
        std::function<void()> hook;
    };
    std::shared_ptr<State> state_;
};

int64_t monotonicNowNs();

}  // namespace vantorel::pulsetest
