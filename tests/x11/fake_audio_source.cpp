#include "fake_audio_source.h"

namespace vantorel::testing {

void FakeAudioControl::failStartWith(ErrorRef error) {
    std::lock_guard lock(mutex_);
    startError_ = std::move(error);
}

void FakeAudioControl::emit(const SampleBufferRef& block) {
    AudioSource::BlockHandler handler;
    {
        std::lock_guard lock(mutex_);
        if (stopped_) {
            return;
        }
        handler = onBlock_;
    }
    if (handler) {
        handler(block);
    }
}

void FakeAudioControl::lose(const ErrorRef& error) {
    AudioSource::LossHandler handler;
    {
        std::lock_guard lock(mutex_);
        handler = onLost_;
    }
    if (handler) {
        handler(error);
    }
}

bool FakeAudioControl::started() const {
    std::lock_guard lock(mutex_);
    return started_;
}

bool FakeAudioControl::stopped() const {
    std::lock_guard lock(mutex_);
    return stopped_;
}

AudioSourceFactory fakeAudioFactory(std::shared_ptr<FakeAudioControl> control) {
    return [control]() -> std::unique_ptr<AudioSource> {
        return std::make_unique<FakeAudioSource>(control);
    };
}

FakeAudioSource::FakeAudioSource(std::shared_ptr<FakeAudioControl> control)
    : control_(std::move(control)) {}

ErrorRef FakeAudioSource::start(BlockHandler onBlock, LossHandler onLost) {
    std::lock_guard lock(control_->mutex_);
    if (control_->startError_) {
        return control_->startError_;
    }
    control_->onBlock_ = std::move(onBlock);
    control_->onLost_ = std::move(onLost);
    control_->started_ = true;
    return nullptr;
}

void FakeAudioSource::stop() {
    std::lock_guard lock(control_->mutex_);
    control_->stopped_ = true;
    control_->onBlock_ = nullptr;
    control_->onLost_ = nullptr;
}

}  // namespace vantorel::testing
