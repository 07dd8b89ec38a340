#pragma once

#include <pulse/error.h>
#include <pulse/simple.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <thread>

namespace vantorel::testing {

// Plays into a PulseAudio sink through a low-latency stream, from a thread of its own: silence,
// and a tone when asked for, starting at a chosen host time (CLOCK_MONOTONIC). The tone is placed
// with the server's own estimate of when a written sample is played, so that it leaves the sink,
// and reaches the sink's monitor, at that moment.
class SoundPlayer {
  public:
    static constexpr int kRate = 48000;

    // `server` empty: the environment's server.
    SoundPlayer(const std::string& server, const std::string& sink) {
        const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, kRate, 2};
        const auto any = static_cast<uint32_t>(-1);
        const pa_buffer_attr buffer{any, static_cast<uint32_t>(pa_usec_to_bytes(40'000, &format)),
                                    any, any, any};
        int error = 0;
        stream_ = pa_simple_new(server.empty() ? nullptr : server.c_str(), "vantorel-tests",
                                PA_STREAM_PLAYBACK, sink.c_str(), "test sound", &format, nullptr,
                                &buffer, &error);
        if (stream_ == nullptr) {
            failure_ = "cannot play into " + sink + ": " + pa_strerror(error);
            return;
        }
        thread_ = std::thread([this] { run(); });
    }
    ~SoundPlayer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        if (thread_.joinable()) {
            thread_.join();
            pa_simple_free(stream_);
        }
    }
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Empty while the stream plays; otherwise why it does not.
    const std::string& failure() const { return failure_; }
    // A sine of `hz` on both channels for `seconds`, from host time `atNs` or as soon after as
    // the stream allows, replacing an earlier tone. Answers when it starts by the server's
    // estimate, once the stream plays promptly enough to tell; nothing if it never does.
    std::optional<int64_t> play(double hz, float amplitude, double seconds, int64_t atNs) {
        std::unique_lock lock(mutex_);
        tone_ = Tone{hz, amplitude, static_cast<int64_t>(seconds * kRate), atNs};
        const bool placed = placed_.wait_for(lock, std::chrono::seconds(20),
                                             [this] { return tone_->firstFrame >= 0; });
        return placed ? std::optional(tone_->startNs) : std::nullopt;
    }

  private:
    static constexpr int kChunkFrames = kRate / 200;  // small writes keep the stream topped up
    static constexpr int64_t kSecond = 1'000'000'000;
    // A sink that was idle may have rendered far ahead, and its monitor lags until a low-latency
    // stream has caught up with it; only then is the server's estimate worth placing a tone by.
    static constexpr int64_t kPromptNs = 100'000'000;

    struct Tone {
        double hz = 0;
        float amplitude = 0;
        int64_t frames = 0;
        int64_t atNs = 0;
        int64_t firstFrame = -1;  // in the stream's frames, once placed
        int64_t startNs = 0;
    };

    static int64_t nowNs() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return int64_t{now.tv_sec} * kSecond + now.tv_nsec;
    }

    void run() {
        std::array<float, kChunkFrames * 2> chunk{};
        for (int64_t written = 0;; written += kChunkFrames) {
            int error = 0;
            // When the next written sample is played: after the stream's buffer and the sink's.
            const int64_t playedNs =
                nowNs() + static_cast<int64_t>(pa_simple_get_latency(stream_, &error)) * 1000;
            std::unique_lock lock(mutex_);
            if (stopping_) {
                return;
            }
            if (tone_ && tone_->firstFrame < 0 && error == 0 && written > kRate / 10 &&
                playedNs - nowNs() < kPromptNs) {
                const int64_t ahead =
                    std::max<int64_t>(0, tone_->atNs - playedNs) * kRate / kSecond;
                tone_->firstFrame = written + ahead;
                tone_->startNs = playedNs + ahead * kSecond / kRate;
                placed_.notify_all();
            }
            const std::optional<Tone> tone = tone_;
            lock.unlock();
            for (int i = 0; i < kChunkFrames; ++i) {
                const int64_t frame = written + i - (tone ? tone->firstFrame : 0);
                const bool on = tone && tone->firstFrame >= 0 && frame >= 0 && frame < tone->frames;
                chunk[2 * i] = chunk[2 * i + 1] =
                    on ? tone->amplitude * static_cast<float>(std::sin(2 * std::numbers::pi *
                                                                       tone->hz * frame / kRate))
                       : 0.0f;
            }
            // Blocks while the stream's buffer is full, which paces this loop in real time.
            if (pa_simple_write(stream_, chunk.data(), sizeof chunk, &error) < 0) {
                return;
            }
        }
    }

    pa_simple* stream_ = nullptr;
    std::string failure_;
    std::mutex mutex_;
    std::condition_variable placed_;
    std::optional<Tone> tone_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vantorel::testing
