#pragma once

#include <string>

#include "child_process.h"

namespace vantorel::bench {

// Something for a recording of the system's sound to hear: ffmpeg playing a 440 Hz tone, with a
// beep each second, into the sound server's default output from construction to destruction.
class TonePlayer {
  public:
    // ffmpeg's complaints go to `logPath`. Throws std::runtime_error when it cannot start.
    explicit TonePlayer(const std::string& logPath);

  private:
    ChildProcess ffmpeg_;
};

}  // namespace vantorel::bench
