#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct pa_simple;

namespace vantorel::testing {

// Plays into a PulseAudio sink through a low-latency stream, from a thread of its own: silence,
// and a tone when asked for, starting at a chosen host time (CLOCK_MONOTONIC). The tone is placed
// with the server's own estimate of when a written sample is played, so that it leaves the sink,
// and reaches the sink's monitor, at that moment.
class SoundPlayer {
  public:
    // `server` empty: the environment's server.
    SoundPlayer(const std::string& server, const std::string& sink);
    ~SoundPlayer();

    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Empty while the stream plays; otherwise why it does not.
    const std::string& failure() const { return failure_; }
    // A sine of `hz` on both channels for `seconds`, from host time `atNs` or as soon after as
    // the stream allows, replacing an earlier tone. Answers when it starts by the server's
    // estimate, once the stream plays promptly enough to tell; nothing if it never does.
    std::optional<int64_t> play(double hz, float amplitude, double seconds, int64_t atNs);

  private:
    struct Tone {
        double hz = 0;
        float amplitude = 0;
        int64_t frames = 0;
        int64_t atNs = 0;
        int64_t firstFrame = -1;  // in the stream's frames, once placed
        int64_t startNs = 0;
    };

    void run();

    pa_simple* stream_ = nullptr;
    std::string failure_;
    std::mutex mutex_;
    std::condition_variable placed_;
    std::optional<Tone> tone_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vantorel::testing
