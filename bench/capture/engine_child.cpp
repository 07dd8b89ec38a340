#include "engine_child.h"

#include <sys/resource.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "capture/recorder.h"
#include "counting_source.h"
#include "counting_writer.h"
#include "cpu_meters.h"
#include "monotonic.h"
#include "platform/memory_policy.h"
#include "platform/x11/randr_monitors.h"
#include "track_clocks.h"

namespace vantorel::bench {

namespace {

constexpr auto kPatience = std::chrono::seconds(20);
// The first sample of a long run waits this long, so that the sound, which starts later than
// the picture, has a window of blocks behind it for its offset.
constexpr int64_t kFirstSampleNs = 5'000'000'000;

void say(const char* key, int64_t value) {
    std::printf("%s=%lld\n", key, static_cast<long long>(value));
}

int fail(const std::string& what, int code) {
    std::printf("error=%s\n", what.c_str());
    std::fflush(stdout);
    return code;
}

struct Monitor {
    QString name;
    int x = 0;
    int y = 0;
};

// The RandR monitor holding the root pixel (x, y), as the program would name it.
std::optional<Monitor> monitorHolding(const std::string& displayName, int x, int y) {
    xcb_connection_t* c = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
    std::optional<Monitor> found;
    if (!xcb_connection_has_error(c)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        for (const RandrMonitor& m : queryMonitors(c, root)) {
            if (x >= m.rect.x && y >= m.rect.y && x < m.rect.right() && y < m.rect.bottom()) {
                auto* reply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, m.name), nullptr);
                if (reply != nullptr) {
                    found = Monitor{QString::fromLatin1(xcb_get_atom_name_name(reply),
                                                        xcb_get_atom_name_name_length(reply)),
                                    m.rect.x, m.rect.y};
                    std::free(reply);
                }
                break;
            }
        }
    }
    xcb_disconnect(c);
    return found;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1))];
}

// How long the recorder took each frame off the grab thread, how far apart frames were grabbed,
// and when each was.
void reportFrameTiming(const FrameTally& tally) {
    const std::vector<int64_t> grabbed = tally.completeTimesNs();
    std::vector<double> handOver;
    std::vector<double> interval;
    for (int64_t ns : tally.handOversNs()) {
        handOver.push_back(static_cast<double>(ns) / 1e3);
    }
    for (size_t i = 1; i < grabbed.size(); ++i) {
        interval.push_back(static_cast<double>(grabbed[i] - grabbed[i - 1]) / 1e6);
    }
    std::printf("handover_us_p50=%.1f\nhandover_us_p95=%.1f\nhandover_us_max=%.1f\n",
                percentile(handOver, 0.5), percentile(handOver, 0.95), percentile(handOver, 1));
    std::printf("interval_ms_p50=%.2f\ninterval_ms_p95=%.2f\ninterval_ms_max=%.2f\n",
                percentile(interval, 0.5), percentile(interval, 0.95), percentile(interval, 1));
    std::string times;
    for (int64_t time : grabbed) {
        times += times.empty() ? "" : ",";
        times += std::to_string(time);
    }
    std::printf("complete_times_ns=%s\n", times.c_str());
}

// Every thread of this process while it records, by name. Threads without a name of their own
// (x264's workers) carry the name of the thread that started them.
void reportThreads() {
    std::map<std::string, std::pair<int, double>> byName;
    const std::vector<ThreadCpu> threads = threadCpuOf(getpid());
    for (const ThreadCpu& thread : threads) {
        ++byName[thread.name].first;
        byName[thread.name].second += thread.seconds;
    }
    say("thread_count", static_cast<int64_t>(threads.size()));
    for (const auto& [name, figures] : byName) {
        std::printf("thread_n.%s=%d\nthread_cpu.%s=%.3f\n", name.c_str(), figures.first,
                    name.c_str(), figures.second);
    }
}

// x264's workers carry the name of the video track's thread, which opened the encoder.
void reniceEncoderThreads(int niceness) {
    for (const ThreadCpu& thread : threadCpuOf(getpid())) {
        if (thread.name == "Vantorel.video") {
            setpriority(PRIO_PROCESS, static_cast<id_t>(thread.tid), niceness);
        }
    }
}

// Runs the event loop until the recorder says something or `patience` runs out. The timer
// goes with the call, so that it cannot cut a later wait short.
void runEvents(QEventLoop& loop, std::chrono::milliseconds patience) {
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(patience);
    loop.exec();
}

// Lets the recording run until the monotonic time `atNs`, or until it fails.
void recordUntil(QEventLoop& loop, int64_t atNs, const std::optional<Error>& failure) {
    for (int64_t left = atNs - monotonicNs(); !failure && left > 0; left = atNs - monotonicNs()) {
        runEvents(loop, std::chrono::milliseconds((left + 999'999) / 1'000'000));
    }
}

// A figure of this process's memory in kB from /proc: VmRSS (resident now) or VmHWM (the most
// resident so far).
long long statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stoll(line.substr(field.size() + 1));
        }
    }
    return 0;
}

// When a long run is sampled: shortly after the first frame, every `everyNs` from it, and at
// the stop.
std::vector<int64_t> sampleTimes(int64_t firstNs, int64_t stopNs, int64_t everyNs) {
    std::vector<int64_t> times{std::min(firstNs + kFirstSampleNs, stopNs)};
    for (int64_t at = firstNs + everyNs; at < stopNs; at += everyNs) {
        times.push_back(at);
    }
    if (times.back() < stopNs) {
        times.push_back(stopNs);
    }
    return times;
}

void reportSample(int64_t elapsedNs, const FrameTally& tally, TrackClocks& clocks) {
    const TrackClocks::Reading clock = clocks.read();
    std::printf(
        "%.*selapsed_ns=%lld rss_kb=%lld peak_kb=%lld frames=%lld picture_ns=%lld sound_ns=%lld "
        "refused_sound_blocks=%lld",
        static_cast<int>(kSamplePrefix.size()), kSamplePrefix.data(),
        static_cast<long long>(elapsedNs), statusKilobytes("VmRSS"), statusKilobytes("VmHWM"),
        static_cast<long long>(tally.appendedCount()), static_cast<long long>(clock.pictureNs),
        static_cast<long long>(clock.soundNs), static_cast<long long>(clock.refusedSoundBlocks));
    if (clock.soundAheadOfHostNs) {
        std::printf(" sound_ahead_of_host_ns=%lld",
                    static_cast<long long>(*clock.soundAheadOfHostNs));
    }
    if (clock.soundInFileOffNs) {
        std::printf(" sound_in_file_off_ns=%lld", static_cast<long long>(*clock.soundInFileOffNs));
    }
    std::printf("\n");
    // Standard output is a pipe: without this the parent would see the samples at the end.
    std::fflush(stdout);
}

}  // namespace

int runEngineChild(const EngineRequest& request) {
    settleMemoryUse();  // as the program does
    int argc = 1;
    char name[] = "vantorel_capture_bench";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    const std::optional<Monitor> monitor =
        monitorHolding(request.displayName, request.x, request.y);
    if (!monitor) {
        return fail("no monitor holds the region", 2);
    }
    const bool sampled = request.sampleSeconds > 0;
    const auto tally = std::make_shared<FrameTally>(!sampled);
    const auto clocks = std::make_shared<TrackClocks>();
    Recorder recorder([&] { return std::make_unique<CountingSource>(tally, request.displayName); },
                      countingWriterFactory(tally, clocks, request.writerQueue),
                      std::make_shared<MonotonicClock>());
    RecorderConfig config;
    config.capture = CaptureRequest{
        monitor->name,
        QRect(request.x - monitor->x, request.y - monitor->y, request.width, request.height),
        QSize(request.width, request.height),
        request.frameRate,
        request.showsCursor,
        request.capturesSound};
    config.outputPath = QString::fromStdString(request.outputPath);

    QEventLoop loop;
    bool started = false;
    std::optional<Error> failure;
    std::optional<StopResult> result;
    QObject::connect(&recorder, &Recorder::started, [&] { started = true, loop.quit(); });
    QObject::connect(&recorder, &Recorder::startFailed, [&](const Error& e) {
        failure = e;
        loop.quit();
    });
    QObject::connect(&recorder, &Recorder::failed, [&](const Error& e) {
        failure = e;
        loop.quit();
    });
    QObject::connect(&recorder, &Recorder::finished, [&](const StopResult& r) {
        result = r;
        loop.quit();
    });

    say("start_call_ns", monotonicNs());
    recorder.start(config);
    runEvents(loop, kPatience);
    if (!started) {
        return fail("start: " + (failure ? failure->details() : QString("no answer")).toStdString(),
                    3);
    }
    say("started_ns", monotonicNs());
    if (!tally->waitForFirstAppend(std::chrono::steady_clock::now() + kPatience)) {
        return fail("no frame reached the writer", 4);
    }
    if (request.encoderNice != 0) {
        reniceEncoderThreads(request.encoderNice);
    }
    const int64_t firstNs = tally->firstAppendedNs();
    const int64_t stopAt = firstNs + static_cast<int64_t>(request.seconds * 1e9);
    if (sampled) {
        for (int64_t at :
             sampleTimes(firstNs, stopAt, static_cast<int64_t>(request.sampleSeconds * 1e9))) {
            recordUntil(loop, at, failure);
            if (failure) {
                break;
            }
            reportSample(monotonicNs() - firstNs, *tally, *clocks);
        }
    } else {
        recordUntil(loop, stopAt, failure);
    }
    if (failure) {
        return fail("while recording: " + failure->details().toStdString(), 5);
    }
    reportThreads();
    say("stop_call_ns", monotonicNs());
    recorder.stop();
    runEvents(loop, kPatience);
    say("stopped_ns", monotonicNs());
    say("first_appended_ns", tally->firstAppendedNs());
    say("complete_offered", tally->completeOffered());
    say("idle_offered", tally->idleOffered());
    say("appended", tally->appendedCount());
    say("refused", tally->refusedCount());
    if (!sampled) {
        reportFrameTiming(*tally);
    }
    if (!result || !result->path) {
        return fail("stop: " + (result && result->error ? result->error->details().toStdString()
                                                        : std::string("no file")),
                    7);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace vantorel::bench
