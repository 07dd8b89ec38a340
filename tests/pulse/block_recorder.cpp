#include "block_recorder.h"

#include <chrono>
#include <ctime>

namespace vantorel::pulsetest {
namespace {

// Far beyond anything a working server needs; only there to end a hung test.
constexpr auto kGuard = std::chrono::seconds(30);

}  // namespace

int64_t monotonicNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

BlockRecorder::BlockRecorder() : state_(std::make_shared<State>()) {}

AudioSource::BlockHandler BlockRecorder::blockHandler() {
    return [state = state_](SampleBufferRef buffer) {
        const int64_t arrival = monotonicNowNs();
        std::function<void()> hook;
        {
            std::lock_guard lock(state->mutex);
            ++state->received.running;
            if (state->closed) {
                ++state->received.lateCalls;
            }
            state->received.blocks.push_back(std::move(buffer));
            state->received.arrivalNs.push_back(arrival);
            hook = state->hook;
        }
        state->changed.notify_all();
        if (hook) {
            hook();
        }
        {
            std::lock_guard lock(state->mutex);
            --state->received.running;
        }
        state->changed.notify_all();
    };
}

AudioSource::LossHandler BlockRecorder::lossHandler() {
    return [state = state_](ErrorRef error) {
        {
            std::lock_guard lock(state->mutex);
            if (state->closed) {
                ++state->received.lateCalls;
            }
            state->received.losses.push_back(std::move(error));
        }
        state->changed.notify_all();
    };
}

void BlockRecorder::setBlockHook(std::function<void()> hook) {
    std::lock_guard lock(state_->mutex);
    state_->hook = std::move(hook);
}

bool BlockRecorder::waitUntil(const std::function<bool(const Received&)>& done) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, kGuard, [&] { return done(state_->received); });
}

Received BlockRecorder::snapshot() const {
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

void BlockRecorder::close() {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
}

}  // namespace vantorel::pulsetest
