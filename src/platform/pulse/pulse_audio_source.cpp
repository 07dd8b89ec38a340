#include "platform/pulse/pulse_audio_source.h"

#include <thread>
#include <utility>

#include "platform/pulse/pulse_errors.h"
#include "platform/pulse/pulse_record_session.h"

namespace vantorel {

PulseAudioSource::PulseAudioSource(PulseSourceOptions options) : options_(std::move(options)) {}

PulseAudioSource::~PulseAudioSource() {
    stop();
    std::lock_guard lock(mutex_);
    if (session_) {
        // Destroyed from a handler: a main loop cannot end itself, so another thread ends it once
        // the handler has returned. The session is silenced already and owns all it needs.
        std::thread([session = std::move(session_)]() mutable { session.reset(); }).detach();
    }
}

ErrorRef PulseAudioSource::start(BlockHandler onBlock, LossHandler onLost) {
    std::unique_ptr<PulseRecordSession> stale;
    {
        std::lock_guard lock(mutex_);
        if (session_) {
            if (session_->isOwnThread()) {
                return pulseSetupError("start was called from a sound handler");
            }
            if (!session_->isSilenced()) {
                return pulseSetupError("the system sound is being recorded already");
            }
            stale = std::move(session_);
        }
    }
    stale.reset();

    auto session = std::make_unique<PulseRecordSession>(std::move(onBlock), std::move(onLost));
    PulseRecordSession* opening = session.get();
    {
        // Published before it opens, so that a handler calling stop() finds it.
        std::lock_guard lock(mutex_);
        session_ = std::move(session);
    }
    ErrorRef error = opening->open(options_);
    if (error) {
        std::unique_ptr<PulseRecordSession> failed;
        {
            std::lock_guard lock(mutex_);
            failed = std::move(session_);
        }
    }
    return error;
}

void PulseAudioSource::stop() {
    std::unique_ptr<PulseRecordSession> ending;
    {
        std::lock_guard lock(mutex_);
        if (!session_) {
            return;
        }
        session_->silence();
        if (session_->isOwnThread()) {
            return;
        }
        ending = std::move(session_);
    }
    // Outside the lock: ending the loop waits for a running handler, which may call stop().
}

AudioSourceFactory pulseAudioSourceFactory(PulseSourceOptions options) {
    return [options = std::move(options)]() -> std::unique_ptr<AudioSource> {
        return std::make_unique<PulseAudioSource>(options);
    };
}

}  // namespace vantorel
