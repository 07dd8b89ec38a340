#pragma once

#include <memory>
#include <mutex>

#include "platform/audio_source.h"

namespace vantorel::testing {

// Drives the audio sources a stream makes: how their start answers, and blocks and losses as
// if they came from a sound server.
class FakeAudioControl {
  public:
    void failStartWith(ErrorRef error);
    // Delivers `block` through the running source's handler, on the calling thread.
    void emit(const SampleBufferRef& block);
    // Reports the server gone through the running source's loss handler.
    void lose(const ErrorRef& error);
    bool started() const;
    bool stopped() const;

  private:
    friend class FakeAudioSource;
    mutable std::mutex mutex_;
    ErrorRef startError_;
    AudioSource::BlockHandler onBlock_;
    AudioSource::LossHandler onLost_;
    bool started_ = false;
    bool stopped_ = false;
};

class FakeAudioSource : public AudioSource {
  public:
    explicit FakeAudioSource(std::shared_ptr<FakeAudioControl> control);
    ErrorRef start(BlockHandler onBlock, LossHandler onLost) override;
    void stop() override;

  private:
    std::shared_ptr<FakeAudioControl> control_;
};

// Makes FakeAudioSources driven by `control`.
AudioSourceFactory fakeAudioFactory(std::shared_ptr<FakeAudioControl> control);

}  // namespace vantorel::testing
