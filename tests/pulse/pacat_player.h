#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vantorel::pulsetest {

// Plays raw 48 kHz stereo float sound into a sink through a pacat process fed over a pipe.
// pacat takes the sound at the pace it is played, so writes block in real time.
class PacatPlayer {
  public:
    // `server` and `sink` may be empty for the environment's defaults.
    PacatPlayer(const std::string& server, const std::string& sink);
    // Finishes playing what was written and waits for pacat.
    ~PacatPlayer();

    PacatPlayer(const PacatPlayer&) = delete;
    PacatPlayer& operator=(const PacatPlayer&) = delete;

    bool started() const { return pid_ > 0; }
    // Writes interleaved samples; blocks while pacat is behind. False when pacat has gone.
    bool write(const std::vector<float>& samples);
    // Ends the input and waits until pacat has played it out; its exit status.
    int finish();

  private:
    pid_t pid_ = -1;
    int input_ = -1;
};

// Interleaved stereo sine tones, one frequency per channel.
std::vector<float> stereoTone(double leftHz, double rightHz, double seconds, float amplitude);
std::vector<float> stereoSilence(double seconds);

}  // namespace vantorel::pulsetest
