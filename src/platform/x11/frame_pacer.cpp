#include "platform/x11/frame_pacer.h"

namespace vantorel {

FramePacer::FramePacer(Clock::duration idleInterval) : idleInterval_(idleInterval) {}

std::optional<FrameChange> FramePacer::due(Clock::time_point now) const {
    if (changed_) {
        return FrameChange::complete;
    }
    if (!lastFrame_ || now - *lastFrame_ >= idleInterval_) {
        return FrameChange::idle;
    }
    return std::nullopt;
}

void FramePacer::delivered(FrameChange change, Clock::time_point now) {
    if (change == FrameChange::complete) {
        changed_ = false;
    }
    lastFrame_ = now;
}

}  // namespace vantorel
