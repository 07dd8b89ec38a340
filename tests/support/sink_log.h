#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/capture_source.h"

namespace vantorel::testing {

// A capture sink that keeps what a source delivers, for a test to wait for and read: every
// frame (with the pixels of the last complete one only, so that the source gets its pictures
// back), every sound block and every stop. Once sealed, any call counts as late. Any thread.
class SinkLog final : public CaptureSink {
  public:
    struct Frame {
        int64_t timeNs = 0;
        bool complete = false;
    };
    struct State {
        std::vector<Frame> frames;
        VideoFrame lastComplete;
        std::vector<SoundBlock> blocks;
        std::vector<Error> stops;
        int callsAfterSeal = 0;
        int callsRunningAtSeal = 0;

        int completeFrames() const {
            return static_cast<int>(
                std::count_if(frames.begin(), frames.end(), [](Frame f) { return f.complete; }));
        }
    };

    // Each call takes this long, as a busy sink's would.
    explicit SinkLog(std::chrono::microseconds callTime = {}) : callTime_(callTime) {}

    void take(const VideoFrame& frame) override {
        record([&](State& s) {
            s.frames.push_back({frame.timeNs, frame.complete});
            s.lastComplete = frame.complete ? frame : s.lastComplete;
        });
    }
    void take(SoundBlock block) override {
        record([&](State& s) { s.blocks.push_back(std::move(block)); });
    }
    void sourceStopped(const Error& error) override {
        record([&](State& s) { s.stops.push_back(error); });
    }

    // Waits until `done` holds (checked with the log locked); false after `timeout`.
    bool waitFor(const std::function<bool(const State&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return done(state_); });
    }
    State snapshot() {
        std::lock_guard lock(mutex_);
        return state_;
    }
    void seal() {
        std::lock_guard lock(mutex_);
        sealed_ = true;
        state_.callsRunningAtSeal = running_;
    }

  private:
    void record(const std::function<void(State&)>& change) {
        {
            std::lock_guard lock(mutex_);
            state_.callsAfterSeal += sealed_ ? 1 : 0;
            ++running_;
        }
        std::this_thread::sleep_for(callTime_);
        {
            std::lock_guard lock(mutex_);
            change(state_);
            --running_;
        }
        changed_.notify_all();
    }

    const std::chrono::microseconds callTime_;
    std::mutex mutex_;
    std::condition_variable changed_;
    State state_;
    bool sealed_ = false;
    int running_ = 0;
};

}  // namespace vantorel::testing
