#include "tone_analysis.h"

#include <cmath>

namespace vantorel::testing {

std::vector<float> channelOf(const std::vector<float>& interleaved, int channels, int channel) {
    std::vector<float> samples;
    for (size_t i = static_cast<size_t>(channel); i < interleaved.size();
         i += static_cast<size_t>(channels)) {
        samples.push_back(interleaved[i]);
    }
    return samples;
}

double toneFrequency(const std::vector<float>& samples, int sampleRate) {
    long first = -1;
    long last = -1;
    long crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            first = first < 0 ? static_cast<long>(i) : first;
            last = static_cast<long>(i);
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0
                         : static_cast<double>(crossings - 1) * sampleRate /
                               static_cast<double>(last - first);
}

long firstLoudSample(const std::vector<float>& samples, float threshold) {
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > threshold) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

}  // namespace vantorel::testing
