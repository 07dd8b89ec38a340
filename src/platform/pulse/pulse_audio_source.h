#pragma once

#include <memory>
#include <mutex>

#include "platform/audio_source.h"
#include "platform/pulse/pulse_source_options.h"

namespace vantorel {

class PulseRecordSession;

// The system sound through a PulseAudio (or PipeWire-pulse) server: the default output's
// monitor as 48 kHz stereo float blocks, each stamped with the host time of its first frame.
//
// start() and stop() come from one controlling thread; stop() may also be called from inside a
// handler. Each start() opens a fresh connection, so a stopped source can be started again.
class PulseAudioSource final : public AudioSource {
  public:
    explicit PulseAudioSource(PulseSourceOptions options = {});
    // Stops. Called on any thread, including from a handler.
    ~PulseAudioSource() override;

    PulseAudioSource(const PulseAudioSource&) = delete;
    PulseAudioSource& operator=(const PulseAudioSource&) = delete;

    // Called on the controlling thread; fails when already started or called from a handler.
    ErrorRef start(BlockHandler onBlock, LossHandler onLost) override;
    // Called on the controlling thread or from a handler.
    void stop() override;

  private:
    const PulseSourceOptions options_;
    std::mutex mutex_;
    // Guarded by mutex_. A session stopped from its own thread stays here until the controlling
    // thread (stop, start or the destructor) can end its loop.
    std::unique_ptr<PulseRecordSession> session_;
};

// Makes real sources for the recorder.
AudioSourceFactory pulseAudioSourceFactory(PulseSourceOptions options = {});

}  // namespace vantorel
