#pragma once

#include <cstdint>

#include "capture/mp4_writer.h"
#include "capture/recorder_config.h"

namespace vantorel {

// What one recording asks of the encoders, worked out from its configuration alone.

inline constexpr int64_t kMinimumVideoBitRate = 2'000'000;
inline constexpr int64_t kMaximumVideoBitRate = 60'000'000;
// Above this many pixels on either side H.264 levels run out, so the video becomes HEVC.
inline constexpr int kLargestH264Side = 4096;

// One tenth of a bit per pixel per frame, kept within 2 to 60 megabits per second.
int64_t averageVideoBitRate(int width, int height, int frameRate);

// Whether H.264 is entropy-coded with CAVLC rather than CABAC, for pictures of this size and rate
// on a machine with this many cores. CABAC needs about a tenth fewer bits for the same picture
// but costs x264's fastest preset a sixth more CPU: on full motion at 1920x1080 and 60 fps, here,
// 9.4 against 7.9 ms of CPU a frame, for 1 dB less at the same bit rate. Where the encoder would
// need more than a quarter of every core for its pictures (above 50 million pixels a second per
// core, such as 1080p at 60 fps on two cores), the CPU goes further than the bits: the recorded
// programs keep it, and frames are not lost when they want it back.
bool usesCavlc(int width, int height, int frameRate, unsigned cores);

// The file for a configuration on a machine with `cores` cores: H.264 High up to 4096 pixels a
// side and HEVC beyond, a key frame at least every two seconds, and AAC 128 kb/s 48 kHz stereo
// when sound is captured.
Mp4WriterSettings writerSettingsFor(const RecorderConfig& config, unsigned cores);

}  // namespace vantorel
