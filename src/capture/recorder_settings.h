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

// Whether x264's threads share out each picture in slices rather than each take whole pictures.
// Every picture in flight costs x264 an input and a reconstructed copy, 10 MB at 1920x1080:
// threads on whole pictures hold one of each per thread, slices one for the whole encoder, which
// at 1080p is 5 to 8 MB less on two cores and 30 MB less on four. On full motion at 1080p, the
// CPU per frame and the quality at the same bit rate were the same either way (the bits slices
// lose at their edges, threads on whole pictures lose by searching only the rows of the last
// picture already done). But the threads on slices wait for each other at the end of every
// picture; from 2560x1440 up, where the encoder needs every core for longer, threads take whole
// pictures: with slices, 4K at 30 fps on two cores lost frames.
bool usesSlicedThreads(int width, int height);

// The file for a configuration on a machine with `cores` cores: H.264 High up to 4096 pixels a
// side and HEVC beyond, a key frame at least every two seconds, and AAC 128 kb/s 48 kHz stereo
// when sound is captured.
Mp4WriterSettings writerSettingsFor(const RecorderConfig& config, unsigned cores);

}  // namespace vantorel
