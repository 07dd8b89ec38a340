#include "counting_stream.h"

#include "capture/sample_rules.h"
#include "monotonic.h"

namespace vantorel::bench {

namespace {

// Counts screen buffers, then hands every buffer on to the real receiver.
class CountingRelay final : public StreamOutput {
  public:
    CountingRelay(std::weak_ptr<StreamOutput> target, std::shared_ptr<FrameTally> tally)
        : target_(std::move(target)), tally_(std::move(tally)) {}

    // Called on the receiver's queue.
    void streamDidOutput(CaptureStream& stream, const SampleBufferRef& buffer,
                         StreamOutputType type) override {
        if (type == StreamOutputType::screen && buffer) {
            const MediaTime time = buffer->presentationTime();
            tally_->offered(isCompleteFrame(*buffer), monotonicNs(),
                            time.isValid() ? time.nanoseconds() : 0);
        }
        if (auto target = target_.lock()) {
            target->streamDidOutput(stream, buffer, type);
        }
    }

  private:
    std::weak_ptr<StreamOutput> target_;
    std::shared_ptr<FrameTally> tally_;
};

}  // namespace

CountingStream::CountingStream(std::shared_ptr<X11CaptureStream> inner,
                               std::shared_ptr<FrameTally> tally)
    : inner_(std::move(inner)), tally_(std::move(tally)) {}

ErrorRef CountingStream::addStreamOutput(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                                         std::shared_ptr<SerialQueue> queue) {
    auto relay = std::make_shared<CountingRelay>(std::move(output), tally_);
    {
        std::lock_guard lock(mutex_);
        relays_.push_back(relay);
    }
    return inner_->addStreamOutput(relay, type, std::move(queue));
}

void CountingStream::startCapture(CaptureCompletion completion) {
    inner_->startCapture(std::move(completion));
}

void CountingStream::stopCapture(CaptureCompletion completion) {
    inner_->stopCapture(std::move(completion));
}

}  // namespace vantorel::bench
