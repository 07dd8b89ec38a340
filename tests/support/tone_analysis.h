#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

// Measures of the mono sound samples [from, to).
namespace vantorel::testing {

// Root mean square: about 0.35 for a sine of amplitude 0.5, near 0 for silence.
inline double loudness(const std::vector<float>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += double{samples[i]} * samples[i];
    }
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

// The first sample whose magnitude is above `level`; the size when there is none.
inline size_t firstLouderThan(const std::vector<float>& samples, float level) {
    const auto loud = std::find_if(samples.begin(), samples.end(),
                                   [level](float sample) { return std::abs(sample) > level; });
    return static_cast<size_t>(loud - samples.begin());
}

// Of the multiples of 10 Hz up to 4 kHz, the one with the most energy (Goertzel).
inline int strongestFrequency(const std::vector<float>& samples, size_t from, size_t to, int rate) {
    std::pair<double, int> strongest{-1, 0};
    for (int frequency = 10; frequency <= 4000; frequency += 10) {
        const double k = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
        double last = 0, beforeLast = 0;
        for (size_t i = from; i < to; ++i) {
            beforeLast = std::exchange(last, samples[i] + k * last - beforeLast);
        }
        const double power = last * last + beforeLast * beforeLast - k * last * beforeLast;
        strongest = std::max(strongest, std::pair{power, frequency});
    }
    return strongest.second;
}

}  // namespace vantorel::testing
