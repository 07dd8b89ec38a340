#include "recorder_fixture.h"

#include <cstdlib>
#include <future>
#include <string>

#include "capture/fakes/queue_drain.h"
#include "capture/fakes/test_samples.h"

namespace vantorel::testing {

void FailureLog::add(const ErrorRef& error, bool onSampleQueue) {
    std::lock_guard lock(mutex_);
    errors_.push_back(error);
    allOnSampleQueue_ = allOnSampleQueue_ && onSampleQueue;
}

std::vector<ErrorRef> FailureLog::errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

bool FailureLog::allOnSampleQueue() const {
    std::lock_guard lock(mutex_);
    return allOnSampleQueue_;
}

void RecorderTest::SetUp() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantorel-capture-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    outputPath = folder / "Screen Recording 2024-05-01 at 10.00.00.mp4";

    log = std::make_shared<CallLog>();
    service = std::make_shared<FakeCaptureService>(log);
    writers = std::make_shared<FakeMediaWriterFactory>(log);
    clock = std::make_shared<FakeHostClock>(MediaTime::invalid());
    failures = std::make_shared<FailureLog>();
    recorder = Recorder::make(RecorderServices{service, writers, clock});

    // Held weakly: the callback must not keep the recorder alive.
    std::weak_ptr<Recorder> weak = recorder;
    recorder->setOnFailure([failures = failures, weak](ErrorRef error) {
        const auto self = weak.lock();
        failures->add(error, self && self->sampleQueue()->isCurrent());
    });
}

void RecorderTest::TearDown() {
    recorder.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

RecorderConfig RecorderTest::config(bool capturesAudio) const {
    auto filter = std::make_shared<ContentFilter>();
    filter->display.displayID = 7;
    filter->display.frame = CaptureRect{0, 0, 1920, 1080};
    filter->excludedApplications.push_back(RunningApplication{4242, "vantorel"});

    RecorderConfig config;
    config.filter = filter;
    config.sourceRect = CaptureRect{100.5, 200.25, 960, 540};
    config.pixelWidth = 1920;
    config.pixelHeight = 1080;
    config.frameRate = 30;
    config.showsCursor = false;
    config.capturesAudio = capturesAudio;
    config.outputURL = outputPath;
    return config;
}

ErrorRef RecorderTest::start(const RecorderConfig& config) {
    auto answer = std::make_shared<std::promise<ErrorRef>>();
    std::future<ErrorRef> result = answer->get_future();
    recorder->start(config, [answer](ErrorRef error) { answer->set_value(std::move(error)); });
    return result.get();
}

void RecorderTest::startRecording(bool capturesAudio) {
    const ErrorRef error = start(config(capturesAudio));
    ASSERT_EQ(error, nullptr) << error->textualDescription();
    ASSERT_NE(stream(), nullptr);
    ASSERT_NE(writer(), nullptr);
}

StopResult RecorderTest::stop() {
    auto answer = std::make_shared<std::promise<StopResult>>();
    std::future<StopResult> result = answer->get_future();
    recorder->stop([answer](StopResult stopped) { answer->set_value(std::move(stopped)); });
    return result.get();
}

void RecorderTest::deliver(const SampleBufferRef& buffer, StreamOutputType type) {
    stream()->deliver(buffer, type);
}

void RecorderTest::settle() {
    drain(*recorder->sampleQueue());
}

void RecorderTest::handOver(const SampleBufferRef& buffer, StreamOutputType type) {
    auto other = std::make_shared<FakeCaptureStream>(nullptr, StreamConfiguration{},
                                                     std::weak_ptr<StreamDelegate>(), log);
    recorder->sampleQueue()->async([target = recorder, other, buffer, type] {
        target->streamDidOutput(*other, buffer, type);
    });
    settle();
}

}  // namespace vantorel::testing
