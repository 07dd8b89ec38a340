#include "long_run_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace vantorel::bench {

namespace {

constexpr double kPeakRssGoalMegabytes = 100;  // at 1080p60
constexpr double kRssGrowthGoalMegabytes = 5;

double scaled(const KeyValues& sample, const char* key, double unit) {
    return static_cast<double>(integerOf(sample, key).value_or(0)) / unit;
}

std::string formatted(const std::optional<double>& value, const char* format) {
    if (!value) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

}  // namespace

LongRunReport::LongRunReport(const CaseDescription& description) : description_(description) {
    std::printf("\n== long run: %dx%d @ %d fps, full motion with sound, %.0f min ==\n",
                description.width, description.height, description.frameRate,
                description.seconds / 60);
    std::printf("  %6s %8s %8s %9s %10s %10s %8s %9s %8s %8s\n", "min", "RSS MB", "peak MB",
                "frames", "picture s", "sound s", "snd-pic", "snd-host", "drift", "in file");
    std::printf("  %6s %8s %8s %9s %10s %10s %8s %9s %8s %8s\n", "", "", "", "", "", "", "ms", "ms",
                "ms", "ms");
    std::fflush(stdout);
}

void LongRunReport::add(const KeyValues& fields) {
    Sample sample;
    sample.minutes = scaled(fields, "elapsed_ns", 60e9);
    sample.rssMegabytes = scaled(fields, "rss_kb", 1024);
    sample.peakRssMegabytes = scaled(fields, "peak_kb", 1024);
    sample.frames = integerOf(fields, "frames").value_or(0);
    sample.pictureSeconds = scaled(fields, "picture_ns", 1e9);
    sample.soundSeconds = scaled(fields, "sound_ns", 1e9);
    if (const std::optional<int64_t> ahead = integerOf(fields, "sound_ahead_of_host_ns")) {
        sample.soundAheadOfHostMs = static_cast<double>(*ahead) / 1e6;
        if (!firstAheadMs_) {
            firstAheadMs_ = sample.soundAheadOfHostMs;
        }
    }
    if (const std::optional<int64_t> off = integerOf(fields, "sound_in_file_off_ns")) {
        sample.soundInFileOffMs = static_cast<double>(*off) / 1e6;
    }
    sample.refusedSoundBlocks = integerOf(fields, "refused_sound_blocks").value_or(0);
    samples_.push_back(sample);
    printRow(sample);
}

std::optional<double> LongRunReport::driftMs(const Sample& sample) const {
    if (!sample.soundAheadOfHostMs || !firstAheadMs_) {
        return std::nullopt;
    }
    return *sample.soundAheadOfHostMs - *firstAheadMs_;
}

void LongRunReport::printRow(const Sample& s) const {
    std::printf(
        "  %6.2f %8.1f %8.1f %9lld %10.3f %10.3f %8.1f %9s %8s %8s\n", s.minutes, s.rssMegabytes,
        s.peakRssMegabytes, static_cast<long long>(s.frames), s.pictureSeconds, s.soundSeconds,
        1000 * (s.soundSeconds - s.pictureSeconds), formatted(s.soundAheadOfHostMs, "%.1f").c_str(),
        formatted(driftMs(s), "%+.1f").c_str(), formatted(s.soundInFileOffMs, "%+.1f").c_str());
    std::fflush(stdout);
}

const LongRunReport::Sample* LongRunReport::firstMinute() const {
    const auto found = std::find_if(samples_.begin(), samples_.end(),
                                    [](const Sample& s) { return s.minutes >= 0.99; });
    return found == samples_.end() ? nullptr : &*found;
}

void LongRunReport::finish(const RunResult& run) const {
    if (!run.problem.empty()) {
        std::printf("  PROBLEM: %s\n", run.problem.c_str());
    }
    if (samples_.empty()) {
        return;
    }
    const Sample& last = samples_.back();
    if (const Sample* minute = firstMinute()) {
        std::printf("  RSS %.1f MB at %.2f min, %.1f MB at %.2f min: growth %+.1f MB\n",
                    minute->rssMegabytes, minute->minutes, last.rssMegabytes, last.minutes,
                    last.rssMegabytes - minute->rssMegabytes);
    }
    std::printf("  peak RSS %.1f MB while recording, %.1f MB over the whole process\n",
                last.peakRssMegabytes, run.peakRssMegabytes);
    const std::optional<double> drift = driftMs(last);
    std::printf(
        "  sound clock against the host's at the end: drift %s ms; sound blocks refused %lld\n",
        formatted(drift, "%+.1f").c_str(), static_cast<long long>(last.refusedSoundBlocks));
    std::printf(
        "  sound in the file off its place in the last minute: at most %s ms = %s frame "
        "(%.1f ms)\n",
        formatted(last.soundInFileOffMs, "%+.1f").c_str(),
        formatted(last.soundInFileOffMs ? std::optional(*last.soundInFileOffMs / frameMs())
                                        : std::nullopt,
                  "%+.2f")
            .c_str(),
        frameMs());
    if (run.written && *run.written > 0) {
        std::printf(
            "  frames written %lld of %.0f (rate x recorded s); CPU %.1f s, %.2f ms per frame\n",
            static_cast<long long>(*run.written), run.recordedSeconds * description_.frameRate,
            run.cpuSeconds, 1000 * run.cpuSeconds / static_cast<double>(*run.written));
    }
    printSteps(run);
    if (run.problem.empty()) {
        printGoals(run);
    }
    std::fflush(stdout);
}

void LongRunReport::printGoals(const RunResult& run) const {
    char text[160];
    std::snprintf(text, sizeof text, "peak RSS <= %.0f MB, set for 1080p60 (%.1f MB)",
                  kPeakRssGoalMegabytes, run.peakRssMegabytes);
    printGoal(run.peakRssMegabytes <= kPeakRssGoalMegabytes, text);
    if (const Sample* minute = firstMinute()) {
        const double growth = samples_.back().rssMegabytes - minute->rssMegabytes;
        std::snprintf(text, sizeof text, "RSS flat after the first minute (growth %+.1f MB < %.0f)",
                      growth, kRssGrowthGoalMegabytes);
        printGoal(growth < kRssGrowthGoalMegabytes, text);
    }
    if (const std::optional<double> off = samples_.back().soundInFileOffMs) {
        std::snprintf(text, sizeof text,
                      "sound in the file within a frame of the picture at the end (%+.1f ms, a "
                      "frame %.1f ms)",
                      *off, frameMs());
        printGoal(std::abs(*off) < frameMs(), text);
    }
}

}  // namespace vantorel::bench
