#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vantorel::bench {

// What the engine saw on its way from the capture stream to the writer. Counters are written on
// the engine's sample queue and read by the benchmark's main thread.
class FrameTally {
  public:
    // Sample queue. `presentationNs` is the frame's own capture time.
    void offered(bool complete, int64_t nowNs, int64_t presentationNs) {
        if (!complete) {
            ++idleOffered_;
            return;
        }
        int64_t none = 0;
        firstOfferedNs_.compare_exchange_strong(none, nowNs);
        ++completeOffered_;
        std::lock_guard lock(mutex_);
        completeTimesNs_.push_back(presentationNs);
        arrivalTimesNs_.push_back(nowNs);
    }
    // Sample queue: a frame the writer took.
    void appended(int64_t nowNs) {
        ++appended_;
        int64_t none = 0;
        if (firstAppendedNs_.compare_exchange_strong(none, nowNs)) {
            std::lock_guard lock(mutex_);
            firstArrived_.notify_all();
        }
    }
    // Sample queue: a frame the writer was not ready for.
    void refused() { ++refused_; }

    // Main thread. Waits until the writer took its first frame or `deadline` passed.
    template <typename TimePoint>
    bool waitForFirstAppend(TimePoint deadline) {
        std::unique_lock lock(mutex_);
        return firstArrived_.wait_until(lock, deadline, [this] { return firstAppendedNs_ != 0; });
    }

    int64_t completeOffered() const { return completeOffered_; }
    int64_t idleOffered() const { return idleOffered_; }
    int64_t appendedCount() const { return appended_; }
    int64_t refusedCount() const { return refused_; }
    int64_t firstOfferedNs() const { return firstOfferedNs_; }
    int64_t firstAppendedNs() const { return firstAppendedNs_; }
    // Capture times of the complete frames offered, in order.
    std::vector<int64_t> completeTimesNs() const {
        std::lock_guard lock(mutex_);
        return completeTimesNs_;
    }
    // When each of them reached the engine's sample queue.
    std::vector<int64_t> arrivalTimesNs() const {
        std::lock_guard lock(mutex_);
        return arrivalTimesNs_;
    }

  private:
    std::atomic<int64_t> completeOffered_{0};
    std::atomic<int64_t> idleOffered_{0};
    std::atomic<int64_t> appended_{0};
    std::atomic<int64_t> refused_{0};
    std::atomic<int64_t> firstOfferedNs_{0};
    std::atomic<int64_t> firstAppendedNs_{0};
    mutable std::mutex mutex_;
    std::condition_variable firstArrived_;
    std::vector<int64_t> completeTimesNs_;  // guarded by mutex_
    std::vector<int64_t> arrivalTimesNs_;   // guarded by mutex_
};

}  // namespace vantorel::bench
