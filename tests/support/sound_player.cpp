#include "sound_player.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <numbers>

namespace vantorel::testing {

namespace {

constexpr int kRate = 48000;
constexpr int kChunkFrames = kRate / 200;  // small writes keep the stream topped up
constexpr int64_t kSecond = 1'000'000'000;
// A sink that was idle may have rendered far ahead, and its monitor lags until a low-latency
// stream has caught up with it; only then is the server's estimate worth placing a tone by.
constexpr int64_t kPromptNs = 100'000'000;

int64_t nowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * kSecond + now.tv_nsec;
}

}  // namespace

SoundPlayer::SoundPlayer(const std::string& server, const std::string& sink) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, kRate, 2};
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(pa_usec_to_bytes(40'000, &format));
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    stream_ = pa_simple_new(server.empty() ? nullptr : server.c_str(), "vantorel-tests",
                            PA_STREAM_PLAYBACK, sink.c_str(), "test sound", &format, nullptr,
                            &attributes, &error);
    if (stream_ == nullptr) {
        failure_ = std::string("cannot play into ") + sink + ": " + pa_strerror(error);
        return;
    }
    thread_ = std::thread([this] { run(); });
}

SoundPlayer::~SoundPlayer() {
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

std::optional<int64_t> SoundPlayer::play(double hz, float amplitude, double seconds, int64_t atNs) {
    std::unique_lock lock(mutex_);
    tone_ = Tone{hz, amplitude, static_cast<int64_t>(seconds * kRate), atNs};
    if (!placed_.wait_for(lock, std::chrono::seconds(20),
                          [this] { return tone_->firstFrame >= 0; })) {
        return std::nullopt;
    }
    return tone_->startNs;
}

void SoundPlayer::run() {
    std::array<float, kChunkFrames * 2> chunk{};
    for (int64_t written = 0;; written += kChunkFrames) {
        int error = 0;
        // How long until the next written sample is played: the stream's buffer and the sink's.
        const auto latencyNs = static_cast<int64_t>(pa_simple_get_latency(stream_, &error)) * 1000;
        std::optional<Tone> tone;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
            if (tone_ && tone_->firstFrame < 0 && error == 0 && written > kRate / 10 &&
                latencyNs < kPromptNs) {
                place(*tone_, written, latencyNs);
                placed_.notify_all();
            }
            tone = tone_;
        }
        for (int i = 0; i < kChunkFrames; ++i) {
            const int64_t frame = written + i - (tone ? tone->firstFrame : 0);
            const bool sounding =
                tone && tone->firstFrame >= 0 && frame >= 0 && frame < tone->frames;
            const float value =
                sounding ? tone->amplitude * static_cast<float>(std::sin(2 * std::numbers::pi *
                                                                         tone->hz * frame / kRate))
                         : 0.0f;
            chunk[static_cast<size_t>(2 * i)] = value;
            chunk[static_cast<size_t>(2 * i + 1)] = value;
        }
        // Blocks while the stream's buffer is full, which paces this loop in real time.
        if (pa_simple_write(stream_, chunk.data(), sizeof chunk, &error) < 0) {
            return;
        }
    }
}

void SoundPlayer::place(Tone& tone, int64_t nextFrame, int64_t latencyNs) const {
    const int64_t nextPlayedNs = nowNs() + latencyNs;
    const int64_t aheadFrames = std::max<int64_t>(0, tone.atNs - nextPlayedNs) * kRate / kSecond;
    tone.firstFrame = nextFrame + aheadFrames;
    tone.startNs = nextPlayedNs + aheadFrames * kSecond / kRate;
}

}  // namespace vantorel::testing
