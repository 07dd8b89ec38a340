#pragma once

#include <memory>

#include "frame_log.h"
#include "platform/capture_service.h"

namespace vantorel::testing {

// The real capture service, with a tap on the outputs of every stream it makes: each buffer is
// noted in the log, on the output's queue, just before the output itself gets it. Nothing is
// changed, held back or reordered. Thread-safe.
class TappedCaptureService final : public CaptureService {
  public:
    TappedCaptureService(std::shared_ptr<CaptureService> inner, std::shared_ptr<FrameLog> log);

    // Any thread.
    void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                             ShareableContentCompletion completion) override;
    // Any thread.
    std::shared_ptr<CaptureStream> makeStream(ContentFilterRef filter,
                                              const StreamConfiguration& configuration,
                                              std::weak_ptr<StreamDelegate> delegate) override;

  private:
    std::shared_ptr<CaptureService> inner_;
    std::shared_ptr<FrameLog> log_;
};

}  // namespace vantorel::testing
