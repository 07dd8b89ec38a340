#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "frame_log.h"
#include "platform/capture_service.h"

namespace vantorel::testing {

class TappedStream;

// The real capture service, with a tap on the outputs of every stream it makes: each buffer is
// noted in the log, on the output's queue, just before the output itself gets it. Nothing is
// changed or reordered; with a `lag`, each buffer is held that long first, as a busy recorder
// would. Thread-safe.
class TappedCaptureService final : public CaptureService {
  public:
    TappedCaptureService(std::shared_ptr<CaptureService> inner, std::shared_ptr<FrameLog> log,
                         std::chrono::milliseconds lag = {});
    ~TappedCaptureService() override;

    // Frames the X11 streams made so far handed to their outputs' queues, counted as each
    // stream stops. Any thread.
    uint64_t deliveredFrames() const;

    // Any thread.
    void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                             ShareableContentCompletion completion) override;
    // Any thread.
    std::shared_ptr<CaptureStream> makeStream(ContentFilterRef filter,
                                              const StreamConfiguration& configuration,
                                              std::weak_ptr<StreamDelegate> delegate) override;

  private:
    friend class TappedStream;
    std::shared_ptr<StreamOutput> tap(std::weak_ptr<StreamOutput> output);

    std::shared_ptr<CaptureService> inner_;
    std::shared_ptr<FrameLog> log_;
    std::chrono::milliseconds lag_;
    std::atomic<uint64_t> delivered_{0};
    std::mutex mutex_;
    std::vector<std::shared_ptr<StreamOutput>> taps_;
};

}  // namespace vantorel::testing
