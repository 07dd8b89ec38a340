#pragma once

#include <cstdint>

namespace vantorel {

class Mp4Muxer;

// The encoder of one track. After open(), every method runs on the track's own thread, one at
// a time. Errors are negative FFmpeg codes, 0 is success.
class TrackEncoder {
  public:
    virtual ~TrackEncoder() = default;

    // Sets up the encoder and describes track `index` of `muxer`, which outlives the encoder.
    virtual int open(Mp4Muxer& muxer, int index) = 0;
    // Drains the encoder; the track ends `endNs` nanoseconds after the file's start. What comes
    // after is left out, so that a late append cannot spoil a finished track.
    virtual int finish(int64_t endNs) = 0;
};

}  // namespace vantorel
