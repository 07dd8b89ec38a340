#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/host_clock.h"

struct pa_simple;

namespace vantorel::testing {

// Plays into a PulseAudio sink through a low-latency playback stream of its own, without end:
// silence or a steady tone, and on request one beep that starts at a chosen moment of the host
// clock. The beep is placed with the server's own estimate of when the next written sample is
// played, so that it leaves the sink, and reaches the sink's monitor, at that moment.
//
// pacat cannot do this: it does not say when what it was given is played.
class SinkPlayer {
  public:
    static constexpr int kRate = 48000;
    // A sink that was idle may have rendered up to two seconds ahead and only catches up with a
    // low-latency stream once that much time has passed; until then its monitor lags behind.
    static constexpr std::chrono::milliseconds kPromptLatency{100};

    // Connects to the environment's server and starts playing silence. Check failure().
    explicit SinkPlayer(const std::string& sink);
    // Stops playing. Called on the owner's thread.
    ~SinkPlayer();

    SinkPlayer(const SinkPlayer&) = delete;
    SinkPlayer& operator=(const SinkPlayer&) = delete;

    // Empty when the stream plays; otherwise why it does not.
    const std::string& failure() const { return failure_; }

    // Waits until what is written is played within kPromptLatency; false if that never
    // happened. Called on the owner's thread.
    bool waitUntilPrompt();
    // From now on a steady sine of `frequency` Hz on both channels instead of silence.
    void playTone(double frequency, float amplitude);
    // A sine of `frequency` Hz at `amplitude` for `seconds`, from host time `at`, which should
    // lie further ahead than the stream's latency. A later call replaces the beep, which should
    // have been played by then. Called on the owner's thread.
    void beepAt(const MediaTime& at, double frequency, double seconds, float amplitude);
    // Waits until the last beep asked for is in the stream: when it will start by the server's
    // estimate (later than asked only if asked too late); absent if it never got there.
    std::optional<MediaTime> waitForPlacedBeep();

  private:
    struct Tone {
        double frequency = 0;
        float amplitude = 0;
    };
    struct Beep {
        MediaTime at;
        Tone tone;
        int64_t frames = 0;
        int64_t firstFrame = -1;  // in the stream's frames, once placed
        MediaTime placedAt;
    };

    void run();
    void place(Beep& beep, int64_t nextFrame, int64_t latencyNs);
    void synthesise(float* samples, int64_t firstFrame, int frames, const std::optional<Tone>& tone,
                    const std::optional<Beep>& beep) const;

    pa_simple* stream_ = nullptr;
    std::string failure_;
    MonotonicClock clock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool prompt_ = false;
    std::optional<Tone> tone_;
    std::optional<Beep> beep_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vantorel::testing
