#pragma once

#include <cstdint>

#include "capture/recorder_config.h"
#include "platform/capture_service.h"
#include "platform/media_writer.h"

namespace vantorel {

// What one recording asks of the encoder and of the capture stream, worked out from its
// configuration alone, so that every number can be checked without a writer or a display.

inline constexpr int64_t kMinimumVideoBitRate = 2'000'000;
inline constexpr int64_t kMaximumVideoBitRate = 60'000'000;
// Above this many pixels on either side H.264 levels run out, so the video becomes HEVC.
inline constexpr int64_t kLargestH264Side = 4096;
inline constexpr int kStreamQueueDepth = 6;

// One tenth of a bit per pixel per frame, kept within 2 to 60 megabits per second.
int64_t averageVideoBitRateFor(const RecorderConfig& config);

// H.264 High (encoder-chosen level) up to 4096 pixels a side, HEVC beyond; a key frame at least
// every two seconds.
VideoOutputSettings videoSettingsFor(const RecorderConfig& config);

// AAC, stereo, 48 kHz, 128 kb/s.
AudioOutputSettings audioSettings();

// Frames of exactly the output size and rate in BGRA; sound only when asked for.
StreamConfiguration streamConfigurationFor(const RecorderConfig& config);

}  // namespace vantorel
