#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gap_analysis.h"
#include "media_probe.h"

namespace vantorel::bench {

// What one recorder did in one recording, in the units the report prints.
struct RunResult {
    std::string recorder;  // "vantorel" or "ffmpeg"
    std::string problem;   // empty when the recording went through

    // Frames. What counts as offered differs: for the engine, complete frames the stream
    // delivered; for ffmpeg, frames its grabber produced (written - duplicated + dropped).
    std::optional<int64_t> offered;
    std::optional<int64_t> written;     // distinct frames that reached the encoder
    std::optional<int64_t> dropped;     // offered but not written
    std::optional<int64_t> duplicated;  // ffmpeg: repeats to keep a constant rate
    double recordedSeconds = 0;         // first frame to stop

    double cpuSeconds = 0;
    double userSeconds = 0;
    double systemSeconds = 0;
    double peakRssMegabytes = 0;
    double xServerCpuSeconds = 0;   // the server's CPU over the same time (grabs, animation)
    double machineBusyPercent = 0;  // of all cores, everything that ran
    std::string loadBefore;

    double spawnToFirstFrameMs = 0;
    std::optional<double> startToFirstFrameMs;  // engine: from its start() call
    double stopToClosedMs = 0;                  // stop asked for until the file is complete
    double stopToExitMs = 0;                    // stop asked for until the process is gone

    MediaFacts media;
    // The process's threads while recording, by name: how many, and their CPU seconds just
    // before the stop.
    struct Threads {
        std::string name;
        int count = 0;
        double cpuSeconds = 0;
    };
    std::vector<Threads> threads;
    int threadCount() const {
        int count = 0;
        for (const Threads& t : threads) {
            count += t.count;
        }
        return count;
    }
    std::vector<int64_t> completeTimesNs;  // engine: capture times of complete frames offered
    std::optional<GapReport> gaps;         // engine: why frame slots stayed empty
    // Engine: percentiles (p50, p95, max) of the recorder's hand-over of a frame on the grab
    // thread, in microseconds, and of the grab interval, in milliseconds.
    std::optional<std::array<double, 3>> handOverUs;
    std::optional<std::array<double, 3>> intervalMs;
};

// `key=value` lines; later keys win.
using KeyValues = std::map<std::string, std::string>;
void addKeyValue(KeyValues& values, const std::string& line);
std::optional<int64_t> integerOf(const KeyValues& values, const std::string& key);
std::optional<double> numberOf(const KeyValues& values, const std::string& key);

}  // namespace vantorel::bench
