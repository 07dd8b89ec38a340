#include "tapped_capture_service.h"

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/x11/x11_capture_stream.h"

namespace vantorel::testing {

namespace {

// Stands between a stream and one registered output.
class OutputTap final : public StreamOutput {
  public:
    OutputTap(std::weak_ptr<StreamOutput> output, std::shared_ptr<FrameLog> log,
              std::chrono::milliseconds lag)
        : output_(std::move(output)), log_(std::move(log)), lag_(lag) {}

    // Called on the output's queue.
    void streamDidOutput(CaptureStream& stream, const SampleBufferRef& buffer,
                         StreamOutputType type) override {
        std::this_thread::sleep_for(lag_);
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
    std::chrono::milliseconds lag_;
};

}  // namespace

// The real stream; it holds its outputs weakly, so the taps live in the service, which
// outlives the stream as the recorder does.
class TappedStream final : public CaptureStream {
  public:
    TappedStream(std::shared_ptr<CaptureStream> inner, TappedCaptureService& service)
        : inner_(std::move(inner)), service_(service) {}

    // Any thread.
    ErrorRef addStreamOutput(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                             std::shared_ptr<SerialQueue> queue) override {
        return inner_->addStreamOutput(service_.tap(std::move(output)), type, std::move(queue));
    }

    // Any thread.
    void startCapture(CaptureCompletion completion) override {
        inner_->startCapture(std::move(completion));
    }
    // Counts what the real stream delivered once it has stopped delivering.
    void stopCapture(CaptureCompletion completion) override {
        std::weak_ptr<X11CaptureStream> x11 = std::dynamic_pointer_cast<X11CaptureStream>(inner_);
        inner_->stopCapture(
            [x11, &service = service_, completion = std::move(completion)](ErrorRef error) {
                if (auto stream = x11.lock()) {
                    service.delivered_ += stream->deliveredFrames();
                }
                completion(std::move(error));
            });
    }

  private:
    std::shared_ptr<CaptureStream> inner_;
    TappedCaptureService& service_;
};

TappedCaptureService::TappedCaptureService(std::shared_ptr<CaptureService> inner,
                                           std::shared_ptr<FrameLog> log,
                                           std::chrono::milliseconds lag)
    : inner_(std::move(inner)), log_(std::move(log)), lag_(lag) {}

TappedCaptureService::~TappedCaptureService() = default;

uint64_t TappedCaptureService::deliveredFrames() const {
    return delivered_;
}

std::shared_ptr<StreamOutput> TappedCaptureService::tap(std::weak_ptr<StreamOutput> output) {
    auto tap = std::make_shared<OutputTap>(std::move(output), log_, lag_);
    std::lock_guard lock(mutex_);
    taps_.push_back(tap);
    return tap;
}

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
    return std::make_shared<TappedStream>(std::move(stream), *this);
}

}  // namespace vantorel::testing
