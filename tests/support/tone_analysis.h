#pragma once

#include <vector>

namespace vantorel::testing {

// One channel of interleaved samples.
std::vector<float> channelOf(const std::vector<float>& interleaved, int channels, int channel);

// The frequency of a steady tone, from its rising zero crossings between the first and the last
// one (so partial periods at the ends do not count); 0 without two of them.
double toneFrequency(const std::vector<float>& samples, int sampleRate);

// The index of the first sample louder than `threshold`, or -1.
long firstLoudSample(const std::vector<float>& samples, float threshold);

}  // namespace vantorel::testing
