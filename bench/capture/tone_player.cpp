#include "tone_player.h"

namespace vantorel::bench {

TonePlayer::TonePlayer(const std::string& logPath)
    : ffmpeg_({"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
               "sine=frequency=440:beep_factor=4:sample_rate=48000", "-f", "pulse",
               "vantorel-bench-tone"},
              logPath, [](const std::string&, int64_t) {}) {}

}  // namespace vantorel::bench
