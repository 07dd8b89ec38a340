#include "report_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace vantorel::bench {

namespace {

using Cell = std::optional<double>;
using Extract = std::function<Cell(const RunResult&)>;

const char* workloadName(Workload workload) {
    return workload == Workload::fullMotion ? "full motion" : "screencast-like";
}

Cell optionalCount(const std::optional<int64_t>& value) {
    return value ? Cell(static_cast<double>(*value)) : std::nullopt;
}

Cell expectedFrames(const RunResult& run, int frameRate) {
    return run.recordedSeconds * frameRate;
}

// Frames a steady full-rate recording would hold that this one does not: whole frame slots only,
// as the stop may come while the grab of the last slot is under way.
Cell lostFrames(const RunResult& run, int frameRate) {
    if (!run.written) {
        return std::nullopt;
    }
    return std::max(0.0, std::floor(*expectedFrames(run, frameRate)) -
                             static_cast<double>(*run.written));
}

std::string formatted(const Cell& cell, const char* format) {
    if (!cell) {
        return "-";
    }
    char text[64];
    std::snprintf(text, sizeof text, format, *cell);
    return text;
}

void printRow(const char* label, const char* format, const Extract& extract,
              const std::optional<RunResult>& engine, const std::optional<RunResult>& ffmpeg,
              bool ratio) {
    const Cell ours = engine ? extract(*engine) : std::nullopt;
    const Cell theirs = ffmpeg ? extract(*ffmpeg) : std::nullopt;
    std::string quotient = "";
    if (ratio && ours && theirs && *theirs != 0) {
        quotient = formatted(*ours / *theirs, "%.2f");
    }
    std::printf("  %-34s %14s %14s %10s\n", label, formatted(ours, format).c_str(),
                formatted(theirs, format).c_str(), quotient.c_str());
}

void printGoals(const CaseDescription& d, const RunResult& ours,
                const std::optional<RunResult>& ffmpeg) {
    const bool full = d.workload == Workload::fullMotion;
    char text[200];
    if (full && ours.dropped) {
        std::snprintf(
            text, sizeof text, "no frame lost (dropped %lld; %.0f short of a steady full rate)",
            static_cast<long long>(*ours.dropped), lostFrames(ours, d.frameRate).value_or(0));
        printGoal(*ours.dropped == 0 && lostFrames(ours, d.frameRate).value_or(0) == 0, text);
    }
    if (ffmpeg && ffmpeg->cpuSeconds > 0) {
        const double ratio = ours.cpuSeconds / ffmpeg->cpuSeconds;
        std::snprintf(text, sizeof text, "CPU %s ffmpeg's (%.2f x)",
                      full ? "at most 0.6 x" : "under 1/3 of", ratio);
        printGoal(full ? ratio <= 0.6 : ratio < 1.0 / 3.0, text);
    }
    std::snprintf(text, sizeof text, "peak RSS under 200 MB (%.1f MB)", ours.peakRssMegabytes);
    printGoal(ours.peakRssMegabytes < 200, text);
    std::snprintf(text, sizeof text, "stop to closed file under 300 ms (%.1f ms)",
                  ours.stopToClosedMs);
    printGoal(ours.stopToClosedMs < 300, text);
}

}  // namespace

void printGoal(bool met, const std::string& text) {
    std::printf("  goal %-6s %s\n", met ? "met" : "MISSED", text.c_str());
}

// What each step costs per frame: the CPU of the threads that do it, over the frames written.
void printSteps(const RunResult& run) {
    if (run.threads.empty()) {
        return;
    }
    std::printf("  %s threads while recording (%d), CPU s and ms per frame written:\n",
                run.recorder.c_str(), run.threadCount());
    const double frames = run.written ? static_cast<double>(std::max<int64_t>(*run.written, 1)) : 0;
    for (const RunResult::Threads& t : run.threads) {
        std::printf(
            "    %-18s x%-3d %7.2f s %8s\n", t.name.c_str(), t.count, t.cpuSeconds,
            formatted(frames > 0 ? Cell(1000 * t.cpuSeconds / frames) : Cell(), "%.2f ms").c_str());
    }
}

void printComparison(const CaseDescription& d, const std::optional<RunResult>& engine,
                     const std::optional<RunResult>& ffmpeg) {
    std::printf("\n== %dx%d @ %d fps, %s, %.0f s (animation %.0f Hz: %lld updates, %lld late) ==\n",
                d.width, d.height, d.frameRate, workloadName(d.workload), d.seconds, d.animateHz,
                static_cast<long long>(d.animatorUpdates), static_cast<long long>(d.animatorLate));
    std::printf("  %-34s %14s %14s %10s\n", "", "vantorel", "ffmpeg", "ours/ff");
    const int rate = d.frameRate;
    const auto row = [&](const char* label, const char* format, const Extract& extract,
                         bool ratio = false) {
        printRow(label, format, extract, engine, ffmpeg, ratio);
    };
    row("load average before (1 min)", "%.2f", [](const RunResult& r) -> Cell {
        return r.loadBefore.empty() ? Cell() : Cell(std::stod(r.loadBefore));
    });
    row("recorded s (first frame..stop)", "%.3f",
        [](const RunResult& r) { return Cell(r.recordedSeconds); });
    row("frames expected (rate x time)", "%.0f",
        [rate](const RunResult& r) { return expectedFrames(r, rate); });
    row("frames offered", "%.0f", [](const RunResult& r) { return optionalCount(r.offered); });
    row("frames written (distinct)", "%.0f",
        [](const RunResult& r) { return optionalCount(r.written); });
    row("frames dropped (offered-written)", "%.0f",
        [](const RunResult& r) { return optionalCount(r.dropped); });
    row("frames duplicated (ffmpeg cfr)", "%.0f",
        [](const RunResult& r) { return optionalCount(r.duplicated); });
    row("frames short of expected", "%.0f",
        [rate](const RunResult& r) { return lostFrames(r, rate); });
    row("  empty slots, screen had changed", "%.0f", [](const RunResult& r) {
        return r.gaps ? Cell(static_cast<double>(r.gaps->withChange)) : Cell();
    });
    row("  empty slots, nothing changed", "%.0f", [](const RunResult& r) {
        return r.gaps ? Cell(static_cast<double>(r.gaps->withoutChange)) : Cell();
    });
    row("frames in file (ffprobe)", "%.0f", [](const RunResult& r) {
        return r.media.readable ? Cell(static_cast<double>(r.media.packets)) : Cell();
    });
    row("file duration s", "%.3f",
        [](const RunResult& r) { return r.media.readable ? Cell(r.media.seconds) : Cell(); });
    row(
        "file size MB", "%.2f", [](const RunResult& r) { return Cell(r.media.megabytes); }, true);
    row(
        "CPU s (user+system)", "%.2f", [](const RunResult& r) { return Cell(r.cpuSeconds); }, true);
    row(
        "  user s", "%.2f", [](const RunResult& r) { return Cell(r.userSeconds); }, true);
    row(
        "  system s", "%.2f", [](const RunResult& r) { return Cell(r.systemSeconds); }, true);
    row(
        "CPU ms per distinct frame written", "%.2f",
        [](const RunResult& r) {
            return r.written && *r.written > 0
                       ? Cell(1000 * r.cpuSeconds / static_cast<double>(*r.written))
                       : Cell();
        },
        true);
    row("CPU % of one core over recording", "%.1f", [](const RunResult& r) {
        return r.recordedSeconds > 0 ? Cell(100 * r.cpuSeconds / r.recordedSeconds) : Cell();
    });
    row(
        "X server CPU s (same span)", "%.2f",
        [](const RunResult& r) { return Cell(r.xServerCpuSeconds); }, true);
    row("machine busy % (all cores)", "%.0f",
        [](const RunResult& r) { return Cell(r.machineBusyPercent); });
    row(
        "peak RSS MB", "%.1f", [](const RunResult& r) { return Cell(r.peakRssMegabytes); }, true);
    row("threads while recording", "%.0f", [](const RunResult& r) {
        return r.threads.empty() ? Cell() : Cell(static_cast<double>(r.threadCount()));
    });
    row(
        "spawn -> first frame ms", "%.0f",
        [](const RunResult& r) { return Cell(r.spawnToFirstFrameMs); }, true);
    row("start() -> first frame ms", "%.0f",
        [](const RunResult& r) { return r.startToFirstFrameMs; });
    row(
        "stop -> file closed ms", "%.1f", [](const RunResult& r) { return Cell(r.stopToClosedMs); },
        true);
    row(
        "stop -> process gone ms", "%.1f", [](const RunResult& r) { return Cell(r.stopToExitMs); },
        true);

    for (const auto* run : {engine ? &*engine : nullptr, ffmpeg ? &*ffmpeg : nullptr}) {
        if (run != nullptr && !run->problem.empty()) {
            std::printf("  PROBLEM (%s): %s\n", run->recorder.c_str(), run->problem.c_str());
        }
    }
    if (engine && engine->handOverUs && engine->intervalMs) {
        const auto& h = *engine->handOverUs;
        const auto& i = *engine->intervalMs;
        std::printf(
            "  vantorel hand-over to the writer us p50/p95/max: %.1f/%.1f/%.1f;"
            " grab interval ms p50/p95/max: %.1f/%.1f/%.1f\n",
            h[0], h[1], h[2], i[0], i[1], i[2]);
    }
    for (const auto* run : {engine ? &*engine : nullptr, ffmpeg ? &*ffmpeg : nullptr}) {
        if (run != nullptr) {
            printSteps(*run);
        }
    }
    if (engine && engine->problem.empty()) {
        printGoals(d, *engine, ffmpeg);
    }
    std::fflush(stdout);
}

}  // namespace vantorel::bench
