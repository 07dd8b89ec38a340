#include "capture/fakes/fake_writer_input.h"

#include <string>

namespace vantorel::testing {

FakeWriterInput::FakeWriterInput(MediaType type, std::shared_ptr<CallLog> log)
    : type_(type), log_(std::move(log)) {}

const char* FakeWriterInput::name() const {
    return type_ == MediaType::video ? "video" : "audio";
}

void FakeWriterInput::setExpectsMediaDataInRealTime(bool realTime) {
    std::lock_guard lock(mutex_);
    realTime_ = realTime;
}

bool FakeWriterInput::isReadyForMoreMediaData() const {
    std::lock_guard lock(mutex_);
    return ready_;
}

bool FakeWriterInput::append(const SampleBufferRef& buffer) {
    std::lock_guard lock(mutex_);
    if (!appendSucceeds_) {
        ++refused_;
        return false;
    }
    appended_.push_back(buffer);
    return true;
}

void FakeWriterInput::markAsFinished() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    log_->add(std::string("markAsFinished(") + name() + ")");
}

void FakeWriterInput::setReady(bool ready) {
    std::lock_guard lock(mutex_);
    ready_ = ready;
}

void FakeWriterInput::setAppendSucceeds(bool succeeds) {
    std::lock_guard lock(mutex_);
    appendSucceeds_ = succeeds;
}

bool FakeWriterInput::expectsMediaDataInRealTime() const {
    std::lock_guard lock(mutex_);
    return realTime_;
}

std::vector<SampleBufferRef> FakeWriterInput::appended() const {
    std::lock_guard lock(mutex_);
    return appended_;
}

std::vector<MediaTime> FakeWriterInput::appendedTimes() const {
    std::lock_guard lock(mutex_);
    std::vector<MediaTime> times;
    for (const auto& buffer : appended_) {
        times.push_back(buffer->presentationTime());
    }
    return times;
}

int FakeWriterInput::refusedAppends() const {
    std::lock_guard lock(mutex_);
    return refused_;
}

bool FakeWriterInput::isFinished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

}  // namespace vantorel::testing
