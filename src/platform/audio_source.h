#pragma once

#include <functional>
#include <memory>

#include "platform/error.h"
#include "platform/sample_buffer.h"

namespace vantorel {

// The system's sound as it is played: 48 kHz stereo float blocks stamped on the host clock.
class AudioSource {
  public:
    using BlockHandler = std::function<void(SampleBufferRef)>;
    using LossHandler = std::function<void(ErrorRef)>;

    virtual ~AudioSource() = default;
    // Connects and starts delivering blocks to `onBlock` on a thread of the source's own.
    // Fails at once (returns the error) when no sound server can be reached. `onLost` is called
    // at most once, on the source's thread, when the server goes away while running.
    virtual ErrorRef start(BlockHandler onBlock, LossHandler onLost) = 0;
    // Stops delivering; no handler runs after this returns. Safe to call more than once.
    virtual void stop() = 0;
};

using AudioSourceFactory = std::function<std::unique_ptr<AudioSource>()>;

}  // namespace vantorel
