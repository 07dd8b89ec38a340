#include "tone_analysis.h"

#include <cmath>

namespace vantorel::pulsetest {

double channelRms(const std::vector<float>& samples, int channels, int channel) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = static_cast<size_t>(channel); i < samples.size();
         i += static_cast<size_t>(channels)) {
        sum += static_cast<double>(samples[i]) * samples[i];
        ++count;
    }
    return count == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(count));
}

double zeroCrossingFrequency(const std::vector<float>& samples, int channels, int channel,
                             int sampleRate) {
    long first = -1;
    long last = -1;
    long crossings = 0;
    const long frames = static_cast<long>(samples.size()) / channels;
    for (long frame = 1; frame < frames; ++frame) {
        const float before = samples[static_cast<size_t>((frame - 1) * channels + channel)];
        const float now = samples[static_cast<size_t>(frame * channels + channel)];
        if (before < 0 && now >= 0) {
            if (first < 0) {
                first = frame;
            }
            last = frame;
            ++crossings;
        }
    }
    if (crossings < 2) {
        return 0;
    }
    return static_cast<double>(crossings - 1) * sampleRate / static_cast<double>(last - first);
}

std::vector<float> steadyLoudSamples(const std::vector<SampleBufferRef>& blocks,
                                     double minimumRms) {
    std::vector<float> all;
    for (const SampleBufferRef& block : blocks) {
        all.insert(all.end(), block->audio()->samples.begin(), block->audio()->samples.end());
    }
    // Judged in windows of a few periods rather than per block: blocks can be a handful of
    // frames long, too short to hold a period.
    constexpr size_t kWindow = 240 * 2;
    const size_t windows = all.size() / kWindow;
    size_t bestStart = 0;
    size_t bestLength = 0;
    size_t runStart = 0;
    for (size_t w = 0; w <= windows; ++w) {
        bool loud = false;
        if (w < windows) {
            const std::vector<float> window(all.begin() + static_cast<long>(w * kWindow),
                                            all.begin() + static_cast<long>((w + 1) * kWindow));
            loud = channelRms(window, 2, 0) > minimumRms;
        }
        if (!loud) {
            if (w - runStart > bestLength) {
                bestStart = runStart;
                bestLength = w - runStart;
            }
            runStart = w + 1;
        }
    }
    if (bestLength < 3) {
        return {};
    }
    return std::vector<float>(
        all.begin() + static_cast<long>((bestStart + 1) * kWindow),
        all.begin() + static_cast<long>((bestStart + bestLength - 1) * kWindow));
}

long firstLoudFrame(const std::vector<float>& samples, int channels, float threshold) {
    for (size_t i = 0; i < samples.size(); i += static_cast<size_t>(channels)) {
        if (std::fabs(samples[i]) > threshold) {
            return static_cast<long>(i) / channels;
        }
    }
    return -1;
}

}  // namespace vantorel::pulsetest
