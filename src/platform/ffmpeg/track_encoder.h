#pragma once

#include <cstdint>
#include <optional>

#include "platform/error.h"
#include "platform/media_writer.h"
#include "platform/sample_buffer.h"

namespace vantorel {

class Mp4Muxer;

// The encoder behind one writer input: it turns the input's buffers into packets of one track.
// After open(), its methods run on the input's own encoding thread, one at a time.
class TrackEncoder {
  public:
    virtual ~TrackEncoder() = default;

    virtual MediaType mediaType() const = 0;
    // Whether the settings can be encoded here at all (an encoder exists, sizes make sense).
    virtual bool isUsable() const = 0;
    // Sets up the encoder and adds its track to `muxer`, which outlives the encoder.
    // Called on the writer's caller thread before the file's header is written.
    virtual ErrorRef open(Mp4Muxer& muxer) = 0;
    // Encodes one buffer that belongs `offsetNs` nanoseconds after the session start. Takes the
    // buffer so that it can let go of the pixels as soon as they are converted.
    virtual ErrorRef encode(SampleBufferRef buffer, int64_t offsetNs) = 0;
    // Drains the encoder. The track ends `endNs` nanoseconds after the session start, or, when
    // the session was given no end, where its last buffer ends.
    virtual ErrorRef finish(std::optional<int64_t> endNs) = 0;
};

}  // namespace vantorel
