#include "track_clocks.h"

#include <algorithm>
#include <cstdlib>

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
    if (taken) {
        placeInFile(stampNs, frames, sampleRate);
    }
}

void TrackClocks::placeInFile(int64_t stampNs, int64_t frames, int sampleRate) {
    if (!fileTrack_) {
        fileTrack_ = AudioTimeline::forSampleRate(sampleRate);
    }
    const int64_t belongs = (stampNs - startNs_) * sampleRate / 1'000'000'000;
    const int64_t end = fileTrack_->end();
    const AudioTimeline::Placement placed = fileTrack_->place(belongs, frames);
    const int64_t offNs =
        (end + placed.silence - placed.skip - belongs) * 1'000'000'000 / sampleRate;
    if (!soundInFileOffNs_ || std::abs(offNs) > std::abs(*soundInFileOffNs_)) {
        soundInFileOffNs_ = offNs;
    }
}

TrackClocks::Reading TrackClocks::read() {
    std::lock_guard lock(mutex_);
    Reading reading{pictureNs_, soundNs_, refusedSoundBlocks_, soundAheadOfHostNs_,
                    soundInFileOffNs_};
    soundAheadOfHostNs_.reset();
    soundInFileOffNs_.reset();
    return reading;
}

}  // namespace vantorel::bench
