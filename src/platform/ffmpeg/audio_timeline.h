#pragma once

#include <cstdint>

namespace vantorel {

// Keeps a sound track continuous against the time stamps of the blocks that feed it.
//
// Each block's stamp says where on the file's timeline its first sample belongs; the track
// itself is a gapless run of samples. Small differences are capture jitter and are ignored, so
// that the sound is not chopped; a block that starts clearly later than the track's end gets
// silence before it (a pause in the stream, or the first block arriving after the first
// picture); one that starts clearly earlier loses the samples that the track already has.
class AudioTimeline {
  public:
    struct Placement {
        int64_t silence = 0;  // samples of silence to write before the block
        int64_t skip = 0;     // samples to drop from the block's start
    };

    // `tolerance`: the largest difference, in samples, taken as jitter.
    explicit AudioTimeline(int64_t tolerance) : tolerance_(tolerance) {}

    // Where a block of `frames` samples stamped at sample `blockStart` goes; advances the end.
    Placement place(int64_t blockStart, int64_t frames);
    // Samples on the track so far.
    int64_t end() const { return end_; }

  private:
    int64_t tolerance_;
    int64_t end_ = 0;
};

}  // namespace vantorel
