#include "ffmpeg_recording.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "child_process.h"
#include "cpu_meters.h"
#include "monotonic.h"
#include "surroundings_meter.h"

namespace vantorel::bench {

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

std::vector<std::string> ffmpegArguments(const RecordingJob& job) {
    const std::string rate = std::to_string(job.frameRate);
    return {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "warning", "-nostats",
            // Progress on standard output, as often as it can come, to see the first frame.
            "-progress", "pipe:1", "-stats_period", "0.02", "-f", "x11grab", "-framerate", rate,
            "-video_size", std::to_string(job.width) + "x" + std::to_string(job.height),
            "-draw_mouse", job.showsCursor ? "1" : "0", "-i",
            job.displayName + "+" + std::to_string(job.x) + "," + std::to_string(job.y), "-c:v",
            "libx264", "-preset", "ultrafast", "-x264-params", engineX264Params(job), "-profile:v",
            "high", "-pix_fmt", "yuv420p", "-b:v", std::to_string(engineBitRate(job)), "-g",
            std::to_string(2 * job.frameRate), "-threads", std::to_string(job.encoderThreads),
            "-an", "-y", job.outputPath};
}

// The progress blocks ffmpeg prints, and the moment the first one counted a frame.
class ProgressWatch {
  public:
    // Reader thread.
    void take(const std::string& line, int64_t atNs) {
        std::lock_guard lock(mutex_);
        addKeyValue(values_, line);
        const auto frames = integerOf(values_, "frame");
        if (firstFrameNs_ == 0 && frames && *frames > 0) {
            firstFrameNs_ = atNs;
            firstFrame_.notify_all();
        }
    }
    // Main thread: the first frame's time, or 0 when none came before `deadline`.
    int64_t waitForFirstFrame(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        firstFrame_.wait_until(lock, deadline, [this] { return firstFrameNs_ != 0; });
        return firstFrameNs_;
    }
    KeyValues values() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable firstFrame_;
    KeyValues values_;
    int64_t firstFrameNs_ = 0;
};

// ffmpeg's threads by name: its main thread grabs, converts and feeds the encoder; the others
// are the encoder's.
void takeThreads(pid_t pid, RunResult& result) {
    for (const ThreadCpu& thread : threadCpuOf(pid)) {
        const std::string name = thread.tid == pid ? "main" : thread.name;
        auto same = std::find_if(result.threads.begin(), result.threads.end(),
                                 [&](const RunResult::Threads& t) { return t.name == name; });
        if (same == result.threads.end()) {
            same = result.threads.insert(result.threads.end(), {name, 0, 0});
        }
        ++same->count;
        same->cpuSeconds += thread.seconds;
    }
}

}  // namespace

RunResult recordWithFfmpeg(const RecordingJob& job) {
    RunResult result;
    result.recorder = "ffmpeg";
    ProgressWatch progress;
    const SurroundingsMeter meter(job);
    ChildOutcome outcome;
    int64_t spawnedNs = 0;
    int64_t firstNs = 0;
    int64_t stopNs = 0;
    {
        ChildProcess child(
            ffmpegArguments(job), job.logPath,
            [&progress](const std::string& line, int64_t atNs) { progress.take(line, atNs); });
        spawnedNs = child.spawnedNs();
        firstNs = progress.waitForFirstFrame(std::chrono::steady_clock::now() + kPatience);
        if (firstNs == 0) {
            result.problem = "ffmpeg wrote no frame (see " + job.logPath + ")";
        } else {
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
                std::chrono::nanoseconds(firstNs + static_cast<int64_t>(job.seconds * 1e9))));
        }
        takeThreads(child.pid(), result);
        stopNs = monotonicNs();
        child.signal(SIGINT);
        outcome = child.wait(std::chrono::seconds(60));
    }
    meter.finish(result);
    // ffmpeg answers SIGINT by finishing the file and exiting with 255.
    constexpr int kExitAfterInterrupt = 255;
    if (result.problem.empty() &&
        (!outcome.exited || (outcome.exitCode != 0 && outcome.exitCode != kExitAfterInterrupt))) {
        result.problem =
            "ffmpeg ended with " + std::to_string(outcome.exitCode) + " (see " + job.logPath + ")";
    }

    const KeyValues values = progress.values();
    const auto frames = integerOf(values, "frame");
    const int64_t duplicated = integerOf(values, "dup_frames").value_or(0);
    const int64_t dropped = integerOf(values, "drop_frames").value_or(0);
    if (frames) {
        result.written = *frames - duplicated;
        result.offered = *frames - duplicated + dropped;
    }
    result.duplicated = duplicated;
    result.dropped = dropped;
    result.recordedSeconds = firstNs != 0 ? static_cast<double>(stopNs - firstNs) / 1e9 : 0;
    result.cpuSeconds = outcome.cpuSeconds;
    result.userSeconds = outcome.userSeconds;
    result.systemSeconds = outcome.systemSeconds;
    result.peakRssMegabytes = outcome.peakRssMegabytes;
    result.spawnToFirstFrameMs = firstNs != 0 ? static_cast<double>(firstNs - spawnedNs) / 1e6 : 0;
    // ffmpeg closes the file on its way out; the two cannot be told apart from outside.
    result.stopToClosedMs = static_cast<double>(outcome.endNs - stopNs) / 1e6;
    result.stopToExitMs = result.stopToClosedMs;
    result.media = probeMedia(job.outputPath);
    return result;
}

}  // namespace vantorel::bench
