#include "platform/ffmpeg/ffmpeg_writer_input.h"

#include <future>

namespace vantorel {

FfmpegWriterInput::FfmpegWriterInput(std::unique_ptr<TrackEncoder> encoder, int capacity,
                                     std::shared_ptr<WriterState> state, const void* owner)
    : encoder_(std::move(encoder)), capacity_(capacity), state_(std::move(state)), owner_(owner) {}

FfmpegWriterInput::~FfmpegWriterInput() {
    cancelled_ = true;
    queue_.reset();  // runs what is left, each task returning at once
}

MediaType FfmpegWriterInput::mediaType() const {
    return encoder_->mediaType();
}

void FfmpegWriterInput::setExpectsMediaDataInRealTime(bool realTime) {
    realTime_ = realTime;
}

bool FfmpegWriterInput::isReadyForMoreMediaData() const {
    return accepting_ && pending_ < capacity_ && state_->status() == WriterStatus::writing;
}

bool FfmpegWriterInput::append(const SampleBufferRef& buffer) {
    if (!buffer || !buffer->isValid() || !buffer->presentationTime().isValid() ||
        !isReadyForMoreMediaData()) {
        return false;
    }
    const bool matches =
        mediaType() == MediaType::video ? buffer->pixels() != nullptr : buffer->audio() != nullptr;
    if (!matches) {
        return false;
    }
    const int64_t offsetNs = buffer->presentationTime().nanoseconds() - sessionStart_.nanoseconds();
    ++pending_;
    queue_->async([this, buffer, offsetNs]() mutable { encode(std::move(buffer), offsetNs); });
    return true;
}

void FfmpegWriterInput::markAsFinished() {
    accepting_ = false;
}

ErrorRef FfmpegWriterInput::open(Mp4Muxer& muxer) {
    if (ErrorRef error = encoder_->open(muxer)) {
        return error;
    }
    queue_ = std::make_unique<SerialQueue>(mediaType() == MediaType::video ? "Vantorel.video"
                                                                           : "Vantorel.audio");
    return nullptr;
}

void FfmpegWriterInput::beginSession(MediaTime start) {
    sessionStart_ = start;
    accepting_ = queue_ != nullptr && start.isValid();
}

void FfmpegWriterInput::finish(std::optional<int64_t> endNs) {
    accepting_ = false;
    runAfterQueued([this, endNs] {
        if (!worthWorking()) {
            return;
        }
        if (ErrorRef error = encoder_->finish(endNs)) {
            state_->fail(std::move(error));
        }
    });
}

void FfmpegWriterInput::cancel() {
    accepting_ = false;
    cancelled_ = true;
    runAfterQueued([] {});
}

void FfmpegWriterInput::encode(SampleBufferRef buffer, int64_t offsetNs) {
    if (worthWorking()) {
        if (ErrorRef error = encoder_->encode(std::move(buffer), offsetNs)) {
            state_->fail(std::move(error));
        }
    }
    buffer.reset();
    --pending_;
}

bool FfmpegWriterInput::worthWorking() const {
    const WriterStatus status = state_->status();
    return !cancelled_ && status != WriterStatus::failed && status != WriterStatus::cancelled;
}

void FfmpegWriterInput::runAfterQueued(std::function<void()> work) {
    if (!queue_) {
        return;
    }
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    queue_->async([&work, &done] {
        work();
        done.set_value();
    });
    finished.wait();
}

}  // namespace vantorel
