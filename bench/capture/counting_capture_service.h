#pragma once

#include <memory>
#include <mutex>

#include "counting_stream.h"
#include "frame_tally.h"
#include "platform/x11/x11_capture_service.h"

namespace vantorel::bench {

// The real X11 capture service, whose streams count the frames they deliver.
class CountingCaptureService final : public CaptureService {
  public:
    // `streamBuffers` > 0 replaces the buffer count the engine asks its streams for.
    CountingCaptureService(std::shared_ptr<FrameTally> tally, int streamBuffers);

    // Any thread.
    void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                             ShareableContentCompletion completion) override;
    // Any thread.
    std::shared_ptr<CaptureStream> makeStream(ContentFilterRef filter,
                                              const StreamConfiguration& configuration,
                                              std::weak_ptr<StreamDelegate> delegate) override;

    // Grabs the most recent stream left out for want of a free buffer. Any thread.
    uint64_t skippedGrabs() const;

  private:
    X11CaptureService inner_;
    std::shared_ptr<FrameTally> tally_;
    int streamBuffers_;
    mutable std::mutex mutex_;
    // Kept after the recorder lets go of it, so its figures can be read once it stopped.
    std::shared_ptr<CountingStream> lastStream_;
};

}  // namespace vantorel::bench
