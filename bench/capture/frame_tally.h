#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vantorel::bench {

// What the engine saw on its way from the capture source to the writer. Counted on the grab
// thread, read on the benchmark's main thread.
class FrameTally {
  public:
    // `keepsTimes`: remember each complete frame's capture and hand-over time; a long recording
    // goes without, so that its memory stays the engine's own.
    explicit FrameTally(bool keepsTimes = true) : keepsTimes_(keepsTimes) {}

    // A frame the source delivered, captured at `captureNs`; the recorder took `handOverNs` to
    // take it (the intake's rules and the writer's queue).
    void offered(bool complete, int64_t captureNs, int64_t handOverNs) {
        if (!complete) {
            ++idleOffered_;
            return;
        }
        ++completeOffered_;
        if (!keepsTimes_) {
            return;
        }
        std::lock_guard lock(mutex_);
        completeTimesNs_.push_back(captureNs);
        handOversNs_.push_back(handOverNs);
    }
    // A frame the writer took.
    void appended(int64_t nowNs) {
        ++appended_;
        int64_t none = 0;
        if (firstAppendedNs_.compare_exchange_strong(none, nowNs)) {
            std::lock_guard lock(mutex_);
            firstArrived_.notify_all();
        }
    }
    // A frame the writer's queue was too full for.
    void refused() { ++refused_; }

    // Waits until the writer took its first frame or `deadline` passed.
    template <typename TimePoint>
    bool waitForFirstAppend(TimePoint deadline) {
        std::unique_lock lock(mutex_);
        return firstArrived_.wait_until(lock, deadline, [this] { return firstAppendedNs_ != 0; });
    }

    int64_t completeOffered() const { return completeOffered_; }
    int64_t idleOffered() const { return idleOffered_; }
    int64_t appendedCount() const { return appended_; }
    int64_t refusedCount() const { return refused_; }
    int64_t firstAppendedNs() const { return firstAppendedNs_; }
    // Capture times of the complete frames offered, in order, and how long each hand-over took.
    std::vector<int64_t> completeTimesNs() const {
        std::lock_guard lock(mutex_);
        return completeTimesNs_;
    }
    std::vector<int64_t> handOversNs() const {
        std::lock_guard lock(mutex_);
        return handOversNs_;
    }

  private:
    const bool keepsTimes_;
    std::atomic<int64_t> completeOffered_{0};
    std::atomic<int64_t> idleOffered_{0};
    std::atomic<int64_t> appended_{0};
    std::atomic<int64_t> refused_{0};
    std::atomic<int64_t> firstAppendedNs_{0};
    mutable std::mutex mutex_;
    std::condition_variable firstArrived_;
    std::vector<int64_t> completeTimesNs_;  // guarded by mutex_
    std::vector<int64_t> handOversNs_;      // guarded by mutex_
};

}  // namespace vantorel::bench
