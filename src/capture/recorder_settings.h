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

// The file for a configuration: H.264 High up to 4096 pixels a side and HEVC beyond, a key
// frame at least every two seconds, and AAC 128 kb/s 48 kHz stereo when sound is captured.
Mp4WriterSettings writerSettingsFor(const RecorderConfig& config);

}  // namespace vantorel
