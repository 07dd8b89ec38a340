#include "media_timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <numbers>
#include <sstream>

namespace vantorel::testing {

std::vector<double> frameTimes(const MediaProbe& probe) {
    std::vector<double> times;
    for (const MediaProbe::Packet& packet : probe.videoPackets()) {
        times.push_back(packet.time);
    }
    std::sort(times.begin(), times.end());
    return times;
}

std::vector<float> soundOnTimeline(const std::filesystem::path& file, int rate) {
    // aresample pads the start up to time 0, so that the first sample is the file's time 0.
    const auto output = runCommand("ffmpeg -v error -i '" + file.string() +
                                   "' -map 0:a:0 -af aresample=async=1:first_pts=0 -ac 1 -ar " +
                                   std::to_string(rate) + " -f f32le -");
    std::vector<float> samples;
    if (output) {
        samples.resize(output->size() / sizeof(float));
        std::memcpy(samples.data(), output->data(), samples.size() * sizeof(float));
    }
    return samples;
}

double peakFrequency(const std::vector<float>& samples, int rate, double fromHz, double toHz,
                     double stepHz) {
    double best = 0;
    double bestPower = -1;
    for (double hz = fromHz; hz <= toHz; hz += stepHz) {
        // Goertzel: the power of one frequency without a whole transform.
        const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / rate);
        double previous = 0;
        double beforePrevious = 0;
        for (const float sample : samples) {
            const double current = sample + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = current;
        }
        const double power = previous * previous + beforePrevious * beforePrevious -
                             coefficient * previous * beforePrevious;
        if (power > bestPower) {
            bestPower = power;
            best = hz;
        }
    }
    return best;
}

uint32_t rgbAt(const std::vector<unsigned char>& frame, int width, int x, int y) {
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return (uint32_t{frame[at]} << 16) | (uint32_t{frame[at + 1]} << 8) | frame[at + 2];
}

bool closeTo(uint32_t got, uint32_t want, int tolerance) {
    for (const int shift : {0, 8, 16}) {
        const int a = static_cast<int>((got >> shift) & 0xFF);
        const int b = static_cast<int>((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) {
            return false;
        }
    }
    return true;
}

std::string hex(uint32_t rgb) {
    std::ostringstream out;
    out << "#" << std::hex << std::setw(6) << std::setfill('0') << rgb;
    return out.str();
}

std::optional<double> streamNumber(const MediaProbe& probe, const std::string& type,
                                   const std::string& key) {
    const auto streams = probe.streams(type);
    if (streams.empty()) {
        return std::nullopt;
    }
    const auto found = streams.front().find(key);
    if (found == streams.front().end()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(found->second.c_str(), &end);
    if (end == found->second.c_str()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace vantorel::testing
