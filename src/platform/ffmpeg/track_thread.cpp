#include "platform/ffmpeg/track_thread.h"

#include <pthread.h>

#include <chrono>

namespace vantorel {

namespace {
constexpr size_t kLongestThreadName = 15;
constexpr auto kIdleInterval = std::chrono::milliseconds(500);
}  // namespace

TrackThread::TrackThread(const std::string& name, int capacity, Task idle)
    : capacity_(capacity), idle_(std::move(idle)), thread_([this, name] { serve(name); }) {}

TrackThread::~TrackThread() {
    stop();
}

bool TrackThread::tryPostItem(Task item) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || items_ >= capacity_) {
            return false;
        }
        ++items_;
        queue_.push_back(Queued{std::move(item), true});
    }
    wake_.notify_one();
    return true;
}

bool TrackThread::hasRoomForItem() {
    std::lock_guard lock(mutex_);
    return !stopping_ && items_ < capacity_;
}

void TrackThread::postStep(Task step) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        queue_.push_back(Queued{std::move(step), false});
    }
    wake_.notify_one();
}

void TrackThread::stop() {
    std::deque<Queued> dropped;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped.swap(queue_);
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
    // `dropped` lets go of its frames here, outside the lock.
}

void TrackThread::serve(const std::string& name) {
    pthread_setname_np(pthread_self(), name.substr(0, kLongestThreadName).c_str());
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto ready = [this] { return stopping_ || !queue_.empty(); };
        if (!idle_) {
            wake_.wait(lock, ready);
        } else if (!wake_.wait_for(lock, kIdleInterval, ready)) {
            lock.unlock();
            idle_();
            lock.lock();
            continue;
        }
        if (stopping_) {
            return;
        }
        Queued next = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        next.task();
        next.task = nullptr;  // lets go of what the task held before the count drops
        lock.lock();
        if (next.item) {
            --items_;
        }
    }
}

}  // namespace vantorel
