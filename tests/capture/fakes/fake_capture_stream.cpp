#include "capture/fakes/fake_capture_stream.h"

#include <future>

namespace vantorel::testing {

FakeCaptureStream::FakeCaptureStream(ContentFilterRef filter, StreamConfiguration configuration,
                                     std::weak_ptr<StreamDelegate> delegate,
                                     std::shared_ptr<CallLog> log)
    : filter_(std::move(filter)),
      configuration_(configuration),
      delegate_(std::move(delegate)),
      log_(std::move(log)),
      own_(std::make_unique<SerialQueue>("fake.stream")) {}

ErrorRef FakeCaptureStream::addStreamOutput(std::weak_ptr<StreamOutput> output,
                                            StreamOutputType type,
                                            std::shared_ptr<SerialQueue> queue) {
    log_->add(type == StreamOutputType::screen ? "addStreamOutput(screen)"
                                               : "addStreamOutput(audio)");
    std::lock_guard lock(mutex_);
    if (const auto refusal = refusals_.find(type); refusal != refusals_.end()) {
        return refusal->second;
    }
    order_.push_back(type);
    outputs_[type] = Registration{std::move(output), std::move(queue)};
    return nullptr;
}

void FakeCaptureStream::startCapture(CaptureCompletion completion) {
    log_->add("startCapture");
    ErrorRef error;
    {
        std::lock_guard lock(mutex_);
        ++starts_;
        error = startError_;
        running_ = error == nullptr;
    }
    // The completion alone is kept, so that a stream the recorder lets go of is really gone.
    own_->async([completion = std::move(completion), error] { completion(error); });
}

void FakeCaptureStream::stopCapture(CaptureCompletion completion) {
    log_->add("stopCapture");
    ErrorRef error;
    {
        std::lock_guard lock(mutex_);
        ++stops_;
        error = stopError_;
        running_ = false;
    }
    own_->async([completion = std::move(completion), error] { completion(error); });
}

void FakeCaptureStream::refuseOutput(StreamOutputType type, ErrorRef error) {
    std::lock_guard lock(mutex_);
    refusals_[type] = std::move(error);
}

void FakeCaptureStream::failStart(ErrorRef error) {
    std::lock_guard lock(mutex_);
    startError_ = std::move(error);
}

void FakeCaptureStream::failStop(ErrorRef error) {
    std::lock_guard lock(mutex_);
    stopError_ = std::move(error);
}

void FakeCaptureStream::deliver(const SampleBufferRef& buffer, StreamOutputType type) {
    Registration registration;
    {
        std::lock_guard lock(mutex_);
        const bool known = type == StreamOutputType::screen || type == StreamOutputType::audio;
        const auto found = outputs_.find(known ? type : StreamOutputType::screen);
        if (found == outputs_.end()) {
            return;
        }
        registration = found->second;
    }
    registration.queue->async(
        [self = shared_from_this(), output = registration.output, buffer, type] {
            if (const auto receiver = output.lock()) {
                receiver->streamDidOutput(*self, buffer, type);
            }
        });
}

void FakeCaptureStream::stopByItself(const ErrorRef& error) {
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    // Shared with the task: the promise must outlive a set_value that wakes this thread.
    auto told = std::make_shared<std::promise<void>>();
    std::future<void> done = told->get_future();
    own_->async([self = shared_from_this(), error, told] {
        if (const auto delegate = self->delegate_.lock()) {
            delegate->streamDidStop(*self, error);
        }
        told->set_value();
    });
    done.wait();
}

std::vector<StreamOutputType> FakeCaptureStream::registeredTypes() const {
    std::lock_guard lock(mutex_);
    return order_;
}

std::shared_ptr<SerialQueue> FakeCaptureStream::queueFor(StreamOutputType type) const {
    std::lock_guard lock(mutex_);
    const auto found = outputs_.find(type);
    return found == outputs_.end() ? nullptr : found->second.queue;
}

bool FakeCaptureStream::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

int FakeCaptureStream::startCount() const {
    std::lock_guard lock(mutex_);
    return starts_;
}

int FakeCaptureStream::stopCount() const {
    std::lock_guard lock(mutex_);
    return stops_;
}

}  // namespace vantorel::testing
