#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "frame_tally.h"
#include "platform/capture_service.h"
#include "platform/x11/x11_capture_stream.h"

namespace vantorel::bench {

// An X11 capture stream that counts every frame on its way to the registered outputs, so that
// frames offered can be set against frames the writer took.
class CountingStream final : public CaptureStream {
  public:
    CountingStream(std::shared_ptr<X11CaptureStream> inner, std::shared_ptr<FrameTally> tally);

    // Any thread.
    ErrorRef addStreamOutput(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                             std::shared_ptr<SerialQueue> queue) override;
    // Any thread.
    void startCapture(CaptureCompletion completion) override;
    void stopCapture(CaptureCompletion completion) override;

    // Grabs the capture thread left out for want of a free buffer. Any thread.
    uint64_t skippedGrabs() const { return inner_->skippedGrabs(); }

  private:
    std::shared_ptr<X11CaptureStream> inner_;
    std::shared_ptr<FrameTally> tally_;
    std::mutex mutex_;
    // The inner stream holds its outputs weakly; these are kept alive here.
    std::vector<std::shared_ptr<StreamOutput>> relays_;
};

}  // namespace vantorel::bench
