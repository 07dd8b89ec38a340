#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "media_probe.h"

namespace vantorel::testing {

// Where things lie on a written file's timeline, read with the real ffprobe and ffmpeg.

// The presentation times of the video frames, in seconds, in presentation order: the same
// order as MediaProbe::decodedFrames().
std::vector<double> frameTimes(const MediaProbe& probe);

// The first sound track as mono samples at `rate`, laid on the file's timeline: sample i is
// the sound at i / rate seconds (any time before the track's first sample is silence).
std::vector<float> soundOnTimeline(const std::filesystem::path& file, int rate = 48000);

// The frequency between `fromHz` and `toHz`, in steps of `stepHz`, at which the samples carry
// the most power.
double peakFrequency(const std::vector<float>& samples, int rate, double fromHz, double toHz,
                     double stepHz);

// 0xRRGGBB of one pixel of an RGB24 frame `width` pixels wide.
uint32_t rgbAt(const std::vector<unsigned char>& frame, int width, int x, int y);
// True when every channel of `got` is within `tolerance` of `want`.
bool closeTo(uint32_t got, uint32_t want, int tolerance);
std::string hex(uint32_t rgb);

// A property of the first stream of `type` as a number; absent when ffprobe has none.
std::optional<double> streamNumber(const MediaProbe& probe, const std::string& type,
                                   const std::string& key);

}  // namespace vantorel::testing
