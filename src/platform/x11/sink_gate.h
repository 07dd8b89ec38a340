#pragma once

#include <mutex>

#include "capture/capture_source.h"

namespace vantorel {

// The one way from a source's threads into its sink. Closing it, whether the owner stops the
// capture or a thread of the source found the capture lost, waits for a call in progress and
// lets no call through afterwards; the sink hears of a loss once. The calls of the grab and the
// sound thread meet under one lock, held only for the sink's own quick step.
class SinkGate {
  public:
    explicit SinkGate(CaptureSink& sink) : sink_(sink) {}

    // On the grab or the sound thread. Nothing happens once the gate is closed.
    void take(const VideoFrame& frame);
    void take(SoundBlock block);
    // On a thread of the source: closes the gate and tells the sink why, unless it was closed
    // already.
    void stopWith(const Error& error);
    // On the owner's thread: closes the gate without telling the sink.
    void close();

  private:
    CaptureSink& sink_;
    std::mutex mutex_;
    bool open_ = true;
};

}  // namespace vantorel
