#include "track_clocks.h"

#include <algorithm>

namespace vantorel::bench {

void TrackClocks::begin(int64_t startNs) {
    startNs_ = startNs;
}

void TrackClocks::pictureTaken(int64_t captureNs) {
    pictureNs_ = captureNs - startNs_;
}

void TrackClocks::soundHanded(int64_t stampNs, int64_t frames, int sampleRate, bool taken,
                              int64_t nowNs) {
    if (sampleRate <= 0) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (!soundOriginNs_) {
        soundOriginNs_ = stampNs - startNs_;
    }
    soundSamples_ += frames;
    soundNs_ = *soundOriginNs_ + soundSamples_ * 1'000'000'000 / sampleRate;
    refusedSoundBlocks_ += taken ? 0 : 1;
    // A block reaches the writer some time after its last sample was played, and any delay
    // (a busy thread, a full socket) only makes that later; the highest value of a window
    // comes from the block delayed least, which makes it steady from one window to the next.
    const int64_t ahead = soundNs_ - (nowNs - startNs_);
    soundAheadOfHostNs_ = std::max(soundAheadOfHostNs_.value_or(ahead), ahead);
}

TrackClocks::Reading TrackClocks::read() {
    std::lock_guard lock(mutex_);
    Reading reading{pictureNs_, soundNs_, refusedSoundBlocks_, soundAheadOfHostNs_};
    soundAheadOfHostNs_.reset();
    return reading;
}

}  // namespace vantorel::bench
