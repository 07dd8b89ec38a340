#include "platform/x11/sink_gate.h"

namespace vantorel {

void SinkGate::take(const VideoFrame& frame) {
    std::lock_guard lock(mutex_);
    if (open_) {
        sink_.take(frame);
    }
}

void SinkGate::take(SoundBlock block) {
    std::lock_guard lock(mutex_);
    if (open_) {
        sink_.take(std::move(block));
    }
}

void SinkGate::stopWith(const Error& error) {
    std::lock_guard lock(mutex_);
    if (open_) {
        open_ = false;
        sink_.sourceStopped(error);
    }
}

void SinkGate::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
}

}  // namespace vantorel
