#pragma once

#include <memory>
#include <string>

#include "capture/capture_source.h"
#include "frame_tally.h"

namespace vantorel::bench {

// The real X11 capture source, whose frames are counted on their way to the recorder.
class CountingSource final : public CaptureSource, private CaptureSink {
  public:
    CountingSource(std::shared_ptr<FrameTally> tally, const std::string& displayName);

    // Owner's thread.
    void start(const CaptureRequest& request, CaptureSink& sink, StartAnswer answer) override;
    void stop() override;

  private:
    // The source's threads.
    void take(const VideoFrame& frame) override;
    void take(SoundBlock block) override;
    void sourceStopped(const Error& error) override;

    std::shared_ptr<FrameTally> tally_;
    std::unique_ptr<CaptureSource> inner_;
    CaptureSink* sink_ = nullptr;
};

}  // namespace vantorel::bench
