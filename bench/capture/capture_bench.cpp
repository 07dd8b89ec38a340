// Records an animating region of the X display with the real engine and with ffmpeg's x11grab,
// one after the other over the same animation, and prints what each cost: frames, CPU time,
// memory, start-up and finishing times. Run it inside a desktop session, e.g.
//
//   scripts/headless-session.sh build/bench/capture/vantorel_capture_bench
//       --sizes 1280x720,1920x1080 --rates 30,60 --workloads full,screencast
//
// See bench_options.cpp for the options.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "animator.h"
#include "bench_options.h"
#include "cpu_meters.h"
#include "engine_recording.h"
#include "ffmpeg_recording.h"
#include "gap_analysis.h"
#include "long_run_report.h"
#include "report_table.h"
#include "tone_player.h"

namespace {

using namespace vantorel::bench;

std::string selfPath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        throw std::runtime_error("cannot find this program's own file");
    }
    return path;
}

// The folder for recordings and logs: kept when asked for, else a fresh one removed at the end.
class WorkFolder {
  public:
    explicit WorkFolder(const std::string& keep) : keep_(!keep.empty()) {
        if (keep_) {
            path_ = keep;
            std::filesystem::create_directories(path_);
            return;
        }
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantorel-capture-bench.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        path_ = pattern;
    }
    ~WorkFolder() {
        if (!keep_) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    bool keep_;
    std::filesystem::path path_;
};

void settle(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The start of the names of a recording's files.
std::string stemFor(const RecordingJob& job, const std::string& what) {
    return std::to_string(job.width) + "x" + std::to_string(job.height) + "-" +
           std::to_string(job.frameRate) + "-" + what;
}

AnimatorSettings animationFor(const BenchOptions& options, const RecordingJob& job,
                              Workload workload) {
    AnimatorSettings animation;
    animation.displayName = job.displayName;
    animation.x = job.x;
    animation.y = job.y;
    animation.width = job.width;
    animation.height = job.height;
    animation.workload = workload;
    animation.updatesPerSecond =
        options.animateHz.value_or(workload == Workload::fullMotion ? 2.0 * job.frameRate : 60.0);
    return animation;
}

void runCase(const BenchOptions& options, const FrameSize& size, int rate, Workload workload,
             RecordingJob job, const std::string& self, const WorkFolder& folder) {
    job.width = size.width;
    job.height = size.height;
    job.frameRate = rate;
    const std::string stem = stemFor(job, workload == Workload::fullMotion ? "full" : "screencast");
    const AnimatorSettings animation = animationFor(options, job, workload);
    Animator animator(animation);

    std::optional<RunResult> engine;
    std::optional<RunResult> ffmpeg;
    const auto runEngine = [&] {
        RecordingJob ours = job;
        ours.outputPath = folder.file(stem + "-vantorel.mp4");
        ours.logPath = folder.file(stem + "-vantorel.log");
        settle(options.settleSeconds);
        engine = recordWithEngine(ours, self);
    };
    const auto runFfmpeg = [&] {
        RecordingJob theirs = job;
        theirs.outputPath = folder.file(stem + "-ffmpeg.mp4");
        theirs.logPath = folder.file(stem + "-ffmpeg.log");
        settle(options.settleSeconds);
        ffmpeg = recordWithFfmpeg(theirs);
    };
    const bool wantEngine = options.recorders != Recorders::ffmpegOnly;
    const bool wantFfmpeg = options.recorders != Recorders::engineOnly;
    if (options.ffmpegFirst) {
        if (wantFfmpeg)
            runFfmpeg();
        if (wantEngine)
            runEngine();
    } else {
        if (wantEngine)
            runEngine();
        if (wantFfmpeg)
            runFfmpeg();
    }

    if (engine) {
        engine->gaps = analyseGaps(engine->completeTimesNs, animator.updateTimesNs(), rate);
    }
    CaseDescription description;
    description.width = size.width;
    description.height = size.height;
    description.frameRate = rate;
    description.seconds = options.seconds;
    description.workload = workload;
    description.animatorUpdates = animator.updates();
    description.animatorLate = animator.lateUpdates();
    description.animateHz = animation.updatesPerSecond;
    printComparison(description, engine, ffmpeg);
}

// The engine alone for many minutes, on full motion with a tone playing into the sound it
// records, sampled every minute.
void runLongRun(const BenchOptions& options, const FrameSize& size, int rate, RecordingJob job,
                const std::string& self, const WorkFolder& folder) {
    job.width = size.width;
    job.height = size.height;
    job.frameRate = rate;
    job.seconds = 60.0 * options.longRunMinutes;
    job.capturesSound = true;
    job.sampleSeconds = 60;
    const std::string stem = stemFor(job, "long");
    job.outputPath = folder.file(stem + "-vantorel.mp4");
    job.logPath = folder.file(stem + "-vantorel.log");

    const Animator animator(animationFor(options, job, Workload::fullMotion));
    const TonePlayer tone(folder.file(stem + "-tone.log"));
    CaseDescription description;
    description.width = size.width;
    description.height = size.height;
    description.frameRate = rate;
    description.seconds = job.seconds;
    LongRunReport report(description);
    settle(options.settleSeconds);
    const RunResult run =
        recordWithEngine(job, self, [&report](const KeyValues& sample) { report.add(sample); });
    report.finish(run);
}

int runComparisons(const BenchOptions& options) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::fprintf(stderr, "vantorel_capture_bench needs an X display ($DISPLAY)\n");
        return 2;
    }
    RecordingJob job;
    job.displayName = display;
    job.x = options.x;
    job.y = options.y;
    job.seconds = options.seconds;
    job.showsCursor = options.showsCursor;
    job.writerQueue = options.writerQueue;
    job.encoderNice = options.encoderNice;
    // The engine's encoder takes one thread per core, up to four; ffmpeg is given the same.
    job.encoderThreads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    try {
        job.xServer = xServerProcess(display);
    } catch (const std::exception&) {
        job.xServer.reset();  // the server's CPU then goes unreported
    }
    const std::string self = selfPath();
    const WorkFolder folder(options.keepDirectory);

    std::printf(
        "vantorel_capture_bench: DISPLAY=%s, %u cores, load %s, X server pid %s, "
        "encoder threads %d\n",
        display, std::thread::hardware_concurrency(), loadAverage().c_str(),
        job.xServer ? std::to_string(*job.xServer).c_str() : "unknown", job.encoderThreads);
    for (const FrameSize& size : options.sizes) {
        for (int rate : options.rates) {
            if (options.longRunMinutes > 0) {
                runLongRun(options, size, rate, job, self, folder);
                continue;
            }
            for (Workload workload : options.workloads) {
                runCase(options, size, rate, workload, job, self, folder);
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const BenchOptions options = parseOptions(argc, argv);
        return options.engineMode ? runEngineChild(options.engine) : runComparisons(options);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "%s\n%s", error.what(), kUsage);
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vantorel_capture_bench: %s\n", error.what());
        return 1;
    }
}
