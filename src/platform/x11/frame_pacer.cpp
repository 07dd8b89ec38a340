#include "platform/x11/frame_pacer.h"

namespace vantorel {

FramePacer::FramePacer(Clock::duration idleInterval) : idleInterval_(idleInterval) {}

std::optional<FrameStatus> FramePacer::due(Clock::time_point now) const {
    if (changed_) {
        return FrameStatus::complete;
    }
    if (!lastFrame_ || now - *lastFrame_ >= idleInterval_) {
        return FrameStatus::idle;
    }
    return std::nullopt;
}

void FramePacer::delivered(FrameStatus status, Clock::time_point now) {
    if (status == FrameStatus::complete) {
        changed_ = false;
    }
    lastFrame_ = now;
}

}  // namespace vantorel
