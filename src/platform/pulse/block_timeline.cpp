#include "platform/pulse/block_timeline.h"

#include <algorithm>

namespace vantorel {

BlockTimeline::BlockTimeline(int sampleRate) : sampleRate_(sampleRate > 0 ? sampleRate : 1) {}

int64_t BlockTimeline::place(int64_t measuredStartNs, int64_t frames) {
    frames = std::max<int64_t>(frames, 0);
    const int64_t position = durationNs(framesSoFar_);
    if (!anchored_) {
        anchored_ = true;
        if (framesSoFar_ > 0) {
            measuredStartNs = std::max(measuredStartNs, endNs_);
        }
        originNs_ = measuredStartNs - position;
    }
    remember(position, measuredStartNs - position);
    const int64_t error = earliest_.front().originNs - originNs_;
    if (error > kJumpAheadNs) {
        originNs_ += error;
    } else if (error > kDeadbandNs || error < -kDeadbandNs) {
        const int64_t limit = previousDurationNs_ / kMaxSlewDivisor;
        originNs_ += std::clamp(error / kPullDivisor, -limit, limit);
    }
    framesSoFar_ += frames;
    previousDurationNs_ = durationNs(frames);
    endNs_ = originNs_ + durationNs(framesSoFar_);
    return originNs_ + position;
}

void BlockTimeline::restart() {
    anchored_ = false;
    earliest_.clear();
}

void BlockTimeline::remember(int64_t positionNs, int64_t suggestedOriginNs) {
    // A sliding minimum: a suggestion that a later, earlier one outlives can never be the
    // earliest again.
    while (!earliest_.empty() && earliest_.back().originNs >= suggestedOriginNs) {
        earliest_.pop_back();
    }
    earliest_.push_back({positionNs, suggestedOriginNs});
    while (earliest_.front().positionNs < positionNs - kWindowNs) {
        earliest_.pop_front();
    }
}

int64_t BlockTimeline::durationNs(int64_t frames) const {
    // Whole seconds first, so that hours of sound cannot overflow the product.
    const int64_t seconds = frames / sampleRate_;
    const int64_t rest = frames % sampleRate_;
    return seconds * 1'000'000'000 + rest * 1'000'000'000 / sampleRate_;
}

}  // namespace vantorel
