#include "engine_child.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <thread>

#include "capture/recorder.h"
#include "counting_capture_service.h"
#include "counting_writer_factory.h"
#include "cpu_meters.h"
#include "monotonic.h"

namespace vantorel::bench {

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

void say(const char* key, int64_t value) {
    std::printf("%s=%lld\n", key, static_cast<long long>(value));
}

void fail(const std::string& what) {
    std::printf("error=%s\n", what.c_str());
    std::fflush(stdout);
}

// The display (as the engine sees it) that holds the region's top-left corner.
std::optional<CaptureDisplay> displayHolding(CaptureService& service, int x, int y) {
    // Shared: an answer that comes after we gave up must still find the promise.
    auto promise = std::make_shared<std::promise<std::optional<ShareableContent>>>();
    std::future<std::optional<ShareableContent>> answer = promise->get_future();
    service.getShareableContent(false, true,
                                [promise](std::optional<ShareableContent> content, ErrorRef) {
                                    promise->set_value(std::move(content));
                                });
    if (answer.wait_for(kPatience) != std::future_status::ready) {
        return std::nullopt;
    }
    const std::optional<ShareableContent> content = answer.get();
    if (!content) {
        return std::nullopt;
    }
    for (const CaptureDisplay& display : content->displays) {
        const CaptureRect& f = display.frame;
        if (x >= f.x && y >= f.y && x < f.x + f.width && y < f.y + f.height) {
            return display;
        }
    }
    return std::nullopt;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1))];
}

// How long frames took from the grab to the engine's queue, and how far apart they were grabbed.
void reportFrameTiming(const FrameTally& tally) {
    const std::vector<int64_t> grabbed = tally.completeTimesNs();
    const std::vector<int64_t> arrived = tally.arrivalTimesNs();
    std::vector<double> latency;
    std::vector<double> interval;
    for (size_t i = 0; i < grabbed.size() && i < arrived.size(); ++i) {
        latency.push_back(static_cast<double>(arrived[i] - grabbed[i]) / 1e6);
        if (i > 0) {
            interval.push_back(static_cast<double>(grabbed[i] - grabbed[i - 1]) / 1e6);
        }
    }
    std::printf("latency_ms_p50=%.2f\nlatency_ms_p95=%.2f\nlatency_ms_max=%.2f\n",
                percentile(latency, 0.5), percentile(latency, 0.95), percentile(latency, 1));
    std::printf("interval_ms_p50=%.2f\ninterval_ms_p95=%.2f\ninterval_ms_max=%.2f\n",
                percentile(interval, 0.5), percentile(interval, 0.95), percentile(interval, 1));
}

// x264's workers carry the name of the recorder's control thread, which opened the encoder; the
// control thread itself sleeps while recording, so renicing it too changes nothing.
void reniceEncoderThreads(int niceness) {
    for (const ThreadCpu& thread : threadCpuOf(getpid())) {
        if (thread.name == "Vantorel.contro") {
            setpriority(PRIO_PROCESS, static_cast<id_t>(thread.tid), niceness);
        }
    }
}

void reportThreads() {
    // Threads without a name of their own (x264's workers) carry the name of the thread that
    // started them.
    std::map<std::string, double> byName;
    for (const ThreadCpu& thread : threadCpuOf(getpid())) {
        byName[thread.name] += thread.seconds;
    }
    for (const auto& [name, seconds] : byName) {
        std::printf("thread_cpu.%s=%.3f\n", name.c_str(), seconds);
    }
}

}  // namespace

int runEngineChild(const EngineRequest& request) {
    const auto tally = std::make_shared<FrameTally>();
    const auto service = std::make_shared<CountingCaptureService>(tally, request.streamBuffers);
    const std::optional<CaptureDisplay> display = displayHolding(*service, request.x, request.y);
    if (!display) {
        fail("no display holds the region");
        return 2;
    }
    auto filter = std::make_shared<ContentFilter>();
    filter->display = *display;

    RecorderConfig config;
    config.filter = filter;
    config.sourceRect =
        CaptureRect{request.x - display->frame.x, request.y - display->frame.y,
                    static_cast<double>(request.width), static_cast<double>(request.height)};
    config.pixelWidth = request.width;
    config.pixelHeight = request.height;
    config.frameRate = request.frameRate;
    config.showsCursor = request.showsCursor;
    config.capturesAudio = false;
    config.outputURL = request.outputPath;

    const std::shared_ptr<Recorder> recorder = Recorder::make(RecorderServices{
        service, std::make_shared<CountingWriterFactory>(tally, request.writerQueue),
        std::make_shared<MonotonicClock>()});
    // Shared: the engine may report from its own thread after this function is done.
    const auto failure = std::make_shared<std::promise<std::string>>();
    std::future<std::string> failed = failure->get_future();
    recorder->setOnFailure([failure](ErrorRef error) {
        try {
            failure->set_value(error ? error->localizedDescription() : "unknown failure");
        } catch (const std::future_error&) {
            // Only the first failure matters here.
        }
    });

    say("start_call_ns", monotonicNs());
    // Promises are shared with the completions, which may run after we stopped waiting.
    auto started = std::make_shared<std::promise<ErrorRef>>();
    std::future<ErrorRef> startAnswer = started->get_future();
    recorder->start(config, [started](ErrorRef error) { started->set_value(std::move(error)); });
    if (startAnswer.wait_for(kPatience) != std::future_status::ready) {
        fail("the engine did not answer the start");
        return 3;
    }
    if (ErrorRef error = startAnswer.get()) {
        fail("start: " + error->localizedDescription());
        return 3;
    }
    say("started_ns", monotonicNs());
    if (!tally->waitForFirstAppend(std::chrono::steady_clock::now() + kPatience)) {
        fail("no frame reached the writer");
        return 4;
    }
    if (request.encoderNice != 0) {
        reniceEncoderThreads(request.encoderNice);
    }
    // Both clocks are CLOCK_MONOTONIC.
    const auto stopAt = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(
        tally->firstAppendedNs() + static_cast<int64_t>(request.seconds * 1e9)));
    if (failed.wait_until(stopAt) == std::future_status::ready) {
        fail("while recording: " + failed.get());
        return 5;
    }
    reportThreads();
    say("skipped_grabs", static_cast<int64_t>(service->skippedGrabs()));

    say("stop_call_ns", monotonicNs());
    auto stopped = std::make_shared<std::promise<StopResult>>();
    std::future<StopResult> stopAnswer = stopped->get_future();
    recorder->stop([stopped](StopResult result) { stopped->set_value(std::move(result)); });
    if (stopAnswer.wait_for(kPatience) != std::future_status::ready) {
        fail("the engine did not answer the stop");
        return 6;
    }
    say("stopped_ns", monotonicNs());
    const StopResult result = stopAnswer.get();
    say("first_offered_ns", tally->firstOfferedNs());
    say("first_appended_ns", tally->firstAppendedNs());
    say("complete_offered", tally->completeOffered());
    say("idle_offered", tally->idleOffered());
    say("appended", tally->appendedCount());
    say("refused", tally->refusedCount());
    reportFrameTiming(*tally);
    std::string times;
    for (int64_t time : tally->completeTimesNs()) {
        if (!times.empty()) {
            times += ',';
        }
        times += std::to_string(time);
    }
    std::printf("complete_times_ns=%s\n", times.c_str());
    if (!result.url) {
        fail("stop: " + (result.error ? result.error->localizedDescription() : "no file"));
        return 7;
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace vantorel::bench
