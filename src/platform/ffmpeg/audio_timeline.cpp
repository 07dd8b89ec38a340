#include "platform/ffmpeg/audio_timeline.h"

#include <algorithm>

namespace vantorel {

AudioTimeline AudioTimeline::forSampleRate(int sampleRate) {
    constexpr int64_t kTolerancePerSecond = 40;
    constexpr int64_t kDeadBandPerSecond = 1000;
    const int64_t rate = std::max(sampleRate, 0);
    return AudioTimeline(rate / kTolerancePerSecond, rate / kDeadBandPerSecond);
}

AudioTimeline::Placement AudioTimeline::place(int64_t blockStart, int64_t frames) {
    Placement placement;
    const int64_t drift = blockStart - end_;
    if (drift > tolerance_) {
        placement.silence = drift;
    } else if (drift < -tolerance_) {
        placement.skip = std::min(-drift, frames);
    } else if (drift > deadBand_ && frames > 0) {
        placement.repeat = true;
    } else if (drift < -deadBand_ && frames > 1) {
        placement.skip = 1;
    }
    end_ += placement.silence + (placement.repeat ? 1 : 0) + (frames - placement.skip);
    return placement;
}

}  // namespace vantorel
