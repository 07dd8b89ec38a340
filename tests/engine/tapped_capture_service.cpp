#include "tapped_capture_service.h"

#include <mutex>
#include <utility>
#include <vector>

namespace vantorel::testing {

namespace {

// Stands between a stream and one registered output.
class OutputTap final : public StreamOutput {
  public:
    OutputTap(std::weak_ptr<StreamOutput> output, std::shared_ptr<FrameLog> log)
        : output_(std::move(output)), log_(std::move(log)) {}

    // Called on the output's queue.
    void streamDidOutput(CaptureStream& stream, const SampleBufferRef& buffer,
                         StreamOutputType type) override {
        if (buffer) {
            log_->note(*buffer, type);
        }
        if (const std::shared_ptr<StreamOutput> output = output_.lock()) {
            output->streamDidOutput(stream, buffer, type);
        }
    }

  private:
    std::weak_ptr<StreamOutput> output_;
    std::shared_ptr<FrameLog> log_;
};

// The real stream; it holds its outputs weakly, so the taps live here.
class TappedStream final : public CaptureStream {
  public:
    TappedStream(std::shared_ptr<CaptureStream> inner, std::shared_ptr<FrameLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    // Any thread.
    ErrorRef addStreamOutput(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                             std::shared_ptr<SerialQueue> queue) override {
        auto tap = std::make_shared<OutputTap>(std::move(output), log_);
        {
            std::lock_guard lock(mutex_);
            taps_.push_back(tap);
        }
        return inner_->addStreamOutput(tap, type, std::move(queue));
    }

    // Any thread.
    void startCapture(CaptureCompletion completion) override {
        inner_->startCapture(std::move(completion));
    }
    void stopCapture(CaptureCompletion completion) override {
        inner_->stopCapture(std::move(completion));
    }

  private:
    std::shared_ptr<CaptureStream> inner_;
    std::shared_ptr<FrameLog> log_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<OutputTap>> taps_;
};

}  // namespace

TappedCaptureService::TappedCaptureService(std::shared_ptr<CaptureService> inner,
                                           std::shared_ptr<FrameLog> log)
    : inner_(std::move(inner)), log_(std::move(log)) {}

void TappedCaptureService::getShareableContent(bool excludingDesktopWindows,
                                               bool onScreenWindowsOnly,
                                               ShareableContentCompletion completion) {
    inner_->getShareableContent(excludingDesktopWindows, onScreenWindowsOnly,
                                std::move(completion));
}

std::shared_ptr<CaptureStream> TappedCaptureService::makeStream(
    ContentFilterRef filter, const StreamConfiguration& configuration,
    std::weak_ptr<StreamDelegate> delegate) {
    std::shared_ptr<CaptureStream> stream =
        inner_->makeStream(std::move(filter), configuration, std::move(delegate));
    if (!stream) {
        return nullptr;
    }
    return std::make_shared<TappedStream>(std::move(stream), log_);
}

}  // namespace vantorel::testing
