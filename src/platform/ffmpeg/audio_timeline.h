#pragma once

#include <cstdint>

namespace vantorel {

// Keeps a sound track continuous against the time stamps of the blocks that feed it.
//
// Each block's stamp says where on the file's timeline its first sample belongs; the track
// itself is a gapless run of samples. A block that starts clearly later than the track's end
// gets silence before it (a pause in the stream, or the first block arriving after the first
// picture); one that starts clearly earlier loses the samples that the track already has.
//
// Smaller differences are not cut, which would be heard: beyond a small dead band, the track is
// pulled towards the stamps by one sample per block, its first sample said twice or left out.
// At 10 ms blocks that is a slope of 0.2 %, which nobody hears, and far steeper than the drift of
// a sound card's clock against the host's (tens of parts per million): the sound stays within a
// couple of milliseconds of the picture however long the recording.
class AudioTimeline {
  public:
    struct Placement {
        int64_t silence = 0;  // samples of silence to write before the block
        int64_t skip = 0;     // samples to drop from the block's start
        bool repeat = false;  // whether the block's first sample is written twice
    };

    // `tolerance`: the largest difference, in samples, that is pulled in rather than cut;
    // `deadBand`: the largest left alone.
    AudioTimeline(int64_t tolerance, int64_t deadBand)
        : tolerance_(tolerance), deadBand_(deadBand) {}
    // The writer's: differences up to 25 ms pulled in, those under 1 ms left alone.
    static AudioTimeline forSampleRate(int sampleRate);

    // Where a block of `frames` samples stamped at sample `blockStart` goes; advances the end.
    Placement place(int64_t blockStart, int64_t frames);
    // Samples on the track so far.
    int64_t end() const { return end_; }

  private:
    int64_t tolerance_;
    int64_t deadBand_;
    int64_t end_ = 0;
};

}  // namespace vantorel
