#include "sink_player.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace vantorel::testing {

namespace {

constexpr int kChannels = 2;
// Small writes keep the stream's buffer topped up to its target at all times.
constexpr int kChunkFrames = SinkPlayer::kRate / 200;
constexpr int kTargetMilliseconds = 40;
constexpr int64_t kNsPerSecond = 1'000'000'000;

uint32_t bytesFor(int milliseconds) {
    return static_cast<uint32_t>(SinkPlayer::kRate / 1000 * milliseconds * kChannels) *
           sizeof(float);
}

float sine(double frequency, int64_t frame, float amplitude) {
    const double t = static_cast<double>(frame) / SinkPlayer::kRate;
    return amplitude * static_cast<float>(std::sin(2 * std::numbers::pi * frequency * t));
}

}  // namespace

SinkPlayer::SinkPlayer(const std::string& sink) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, kRate, kChannels};
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = bytesFor(kTargetMilliseconds);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    stream_ = pa_simple_new(nullptr, "vantorel-engine-tests", PA_STREAM_PLAYBACK,
                            sink.empty() ? nullptr : sink.c_str(), "test sound", &format, nullptr,
                            &attributes, &error);
    if (stream_ == nullptr) {
        failure_ = std::string("cannot play into the sink: ") + pa_strerror(error);
        return;
    }
    thread_ = std::thread([this] { run(); });
}

SinkPlayer::~SinkPlayer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (stream_ != nullptr) {
        pa_simple_free(stream_);
    }
}

bool SinkPlayer::waitUntilPrompt() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return prompt_; });
}

void SinkPlayer::playTone(double frequency, float amplitude) {
    std::lock_guard lock(mutex_);
    tone_ = Tone{frequency, amplitude};
}

void SinkPlayer::beepAt(const MediaTime& at, double frequency, double seconds, float amplitude) {
    std::lock_guard lock(mutex_);
    Beep beep;
    beep.at = at;
    beep.tone = Tone{frequency, amplitude};
    beep.frames = static_cast<int64_t>(std::lround(seconds * kRate));
    beep_ = beep;
}

std::optional<MediaTime> SinkPlayer::waitForPlacedBeep() {
    std::unique_lock lock(mutex_);
    const bool placed = changed_.wait_for(lock, std::chrono::seconds(30),
                                          [this] { return beep_ && beep_->firstFrame >= 0; });
    if (!placed) {
        return std::nullopt;
    }
    return beep_->placedAt;
}

void SinkPlayer::run() {
    std::array<float, static_cast<size_t>(kChunkFrames) * kChannels> chunk{};
    for (int64_t written = 0;; written += kChunkFrames) {
        int error = 0;
        // How long until the next written sample is played: the stream's buffer and the sink's.
        const auto latencyNs = static_cast<int64_t>(pa_simple_get_latency(stream_, &error)) * 1000;
        std::optional<Tone> tone;
        std::optional<Beep> beep;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
            // Only once the sink has taken more than the stream's buffer holds is it playing,
            // and the latency worth trusting.
            if (error == 0 && written > kRate / 10 &&
                latencyNs < std::chrono::nanoseconds(kPromptLatency).count()) {
                prompt_ = true;
            }
            if (beep_ && beep_->firstFrame < 0) {
                place(*beep_, written, latencyNs);
            }
            tone = tone_;
            beep = beep_;
        }
        changed_.notify_all();
        synthesise(chunk.data(), written, kChunkFrames, tone, beep);
        // Blocks while the stream's buffer is full, which paces this loop in real time.
        if (pa_simple_write(stream_, chunk.data(), sizeof chunk, &error) < 0) {
            return;
        }
    }
}

void SinkPlayer::place(Beep& beep, int64_t nextFrame, int64_t latencyNs) {
    const int64_t nextPlayedNs = clock_.now().nanoseconds() + latencyNs;
    const int64_t aheadFrames =
        std::max<int64_t>(0, beep.at.nanoseconds() - nextPlayedNs) * kRate / kNsPerSecond;
    beep.firstFrame = nextFrame + aheadFrames;
    beep.placedAt = MediaTime::fromNanoseconds(nextPlayedNs + aheadFrames * kNsPerSecond / kRate);
}

void SinkPlayer::synthesise(float* samples, int64_t firstFrame, int frames,
                            const std::optional<Tone>& tone,
                            const std::optional<Beep>& beep) const {
    for (int i = 0; i < frames; ++i) {
        const int64_t frame = firstFrame + i;
        float value = tone ? sine(tone->frequency, frame, tone->amplitude) : 0.0f;
        if (beep && beep->firstFrame >= 0 && frame >= beep->firstFrame &&
            frame < beep->firstFrame + beep->frames) {
            value = sine(beep->tone.frequency, frame - beep->firstFrame, beep->tone.amplitude);
        }
        for (int channel = 0; channel < kChannels; ++channel) {
            samples[static_cast<size_t>(i * kChannels + channel)] = value;
        }
    }
}

}  // namespace vantorel::testing
