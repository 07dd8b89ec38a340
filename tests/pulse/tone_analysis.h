#pragma once

#include <cstddef>
#include <vector>

#include "platform/sample_buffer.h"

namespace vantorel::pulsetest {

// Root mean square of one channel of interleaved samples.
double channelRms(const std::vector<float>& samples, int channels, int channel);

// The frequency of a steady tone on one channel, from the rising zero crossings between the
// first and the last one (so partial periods at the ends do not count).
double zeroCrossingFrequency(const std::vector<float>& samples, int channels, int channel,
                             int sampleRate);

// The samples of the longest stretch of the blocks, joined in order, whose first channel stays
// louder than `minimumRms`, without its edges (where the tone starts and ends).
std::vector<float> steadyLoudSamples(const std::vector<SampleBufferRef>& blocks, double minimumRms);

// The index of the first frame whose first channel exceeds `threshold` in magnitude, or -1.
long firstLoudFrame(const std::vector<float>& samples, int channels, float threshold);

}  // namespace vantorel::pulsetest
