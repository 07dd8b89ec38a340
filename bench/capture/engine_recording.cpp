#include "engine_recording.h"

#include <chrono>
#include <sstream>

#include "child_process.h"
#include "engine_child.h"
#include "surroundings_meter.h"

namespace vantorel::bench {

namespace {

double millisecondsBetween(std::optional<int64_t> from, std::optional<int64_t> to) {
    return (from && to) ? static_cast<double>(*to - *from) / 1e6 : 0;
}

std::vector<std::string> engineArguments(const RecordingJob& job, const std::string& selfPath) {
    return {selfPath,         "--engine",
            "--display",      job.displayName,
            "--at",           std::to_string(job.x) + "," + std::to_string(job.y),
            "--size",         std::to_string(job.width) + "x" + std::to_string(job.height),
            "--fps",          std::to_string(job.frameRate),
            "--seconds",      std::to_string(job.seconds),
            "--cursor",       job.showsCursor ? "1" : "0",
            "--sound",        job.capturesSound ? "1" : "0",
            "--sample-every", std::to_string(job.sampleSeconds),
            "--output",       job.outputPath,
            "--writer-queue", std::to_string(job.writerQueue),
            "--encoder-nice", std::to_string(job.encoderNice)};
}

// A sample's fields, or none when `line` is not a sample.
std::optional<KeyValues> sampleIn(const std::string& line) {
    if (line.rfind(kSamplePrefix, 0) != 0) {
        return std::nullopt;
    }
    KeyValues fields;
    std::istringstream words(line.substr(kSamplePrefix.size()));
    for (std::string word; words >> word;) {
        addKeyValue(fields, word);
    }
    return fields;
}

std::vector<int64_t> timesOf(const KeyValues& values) {
    std::vector<int64_t> times;
    const auto it = values.find("complete_times_ns");
    if (it == values.end()) {
        return times;
    }
    size_t start = 0;
    while (start < it->second.size()) {
        size_t end = it->second.find(',', start);
        end = end == std::string::npos ? it->second.size() : end;
        times.push_back(std::stoll(it->second.substr(start, end - start)));
        start = end + 1;
    }
    return times;
}

std::optional<std::array<double, 3>> spreadOf(const KeyValues& values, const std::string& stem) {
    const auto p50 = numberOf(values, stem + "_p50");
    const auto p95 = numberOf(values, stem + "_p95");
    const auto max = numberOf(values, stem + "_max");
    if (!p50 || !p95 || !max) {
        return std::nullopt;
    }
    return std::array<double, 3>{*p50, *p95, *max};
}

void takeThreads(const KeyValues& values, RunResult& result) {
    const std::string prefix = "thread_n.";
    for (const auto& [key, value] : values) {
        if (key.rfind(prefix, 0) == 0) {
            const std::string name = key.substr(prefix.size());
            result.threads.push_back(
                {name, std::stoi(value), numberOf(values, "thread_cpu." + name).value_or(0)});
        }
    }
}

}  // namespace

RunResult recordWithEngine(const RecordingJob& job, const std::string& selfPath,
                           const SampleSink& onSample) {
    RunResult result;
    result.recorder = "vantorel";
    KeyValues values;  // filled on the reader thread, read once the child is gone
    const SurroundingsMeter meter(job);
    ChildOutcome outcome;
    int64_t spawnedNs = 0;
    {
        ChildProcess child(engineArguments(job, selfPath), job.logPath,
                           [&values, &onSample](const std::string& line, int64_t) {
                               if (std::optional<KeyValues> sample = sampleIn(line)) {
                                   if (onSample) {
                                       onSample(*sample);
                                   }
                               } else {
                                   addKeyValue(values, line);
                               }
                           });
        spawnedNs = child.spawnedNs();
        outcome = child.wait(std::chrono::milliseconds(static_cast<int64_t>(job.seconds * 1000)) +
                             std::chrono::seconds(60));
    }
    meter.finish(result);
    if (values.count("error") != 0) {
        result.problem = values["error"];
    } else if (!outcome.exited || outcome.exitCode != 0) {
        result.problem = "engine process ended with " + std::to_string(outcome.exitCode);
    }

    const auto firstAppended = integerOf(values, "first_appended_ns");
    const auto stopCall = integerOf(values, "stop_call_ns");
    result.offered = integerOf(values, "complete_offered");
    result.written = integerOf(values, "appended");
    if (result.offered && result.written) {
        result.dropped = *result.offered - *result.written;
    }
    result.recordedSeconds = millisecondsBetween(firstAppended, stopCall) / 1000;
    result.cpuSeconds = outcome.cpuSeconds;
    result.userSeconds = outcome.userSeconds;
    result.systemSeconds = outcome.systemSeconds;
    result.peakRssMegabytes = outcome.peakRssMegabytes;
    result.spawnToFirstFrameMs = millisecondsBetween(spawnedNs, firstAppended);
    result.startToFirstFrameMs =
        millisecondsBetween(integerOf(values, "start_call_ns"), firstAppended);
    result.stopToClosedMs = millisecondsBetween(stopCall, integerOf(values, "stopped_ns"));
    result.stopToExitMs = millisecondsBetween(stopCall, outcome.endNs);
    takeThreads(values, result);
    result.completeTimesNs = timesOf(values);
    result.handOverUs = spreadOf(values, "handover_us");
    result.intervalMs = spreadOf(values, "interval_ms");
    result.media = probeMedia(job.outputPath);
    return result;
}

}  // namespace vantorel::bench
