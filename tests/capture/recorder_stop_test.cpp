#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "capture/fakes/test_samples.h"
#include "capture/recorder_error.h"
#include "recorder_fixture.h"

namespace vantorel::testing {
namespace {

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

RecorderError::Kind kindOf(const ErrorRef& error) {
    const RecorderError* engine = RecorderError::from(error);
    EXPECT_NE(engine, nullptr);
    return engine ? engine->kind() : RecorderError::Kind::noDisplay;
}

TEST_F(RecorderTest, StopStopsTheStreamAndKeepsTheFinishedFile) {
    startRecording(/*capturesAudio=*/true);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    deliver(soundBlock(at(15)), StreamOutputType::audio);
    deliver(completeFrame(at(20)), StreamOutputType::screen);
    clock->set(at(500));
    const auto stream = this->stream();

    const StopResult result = stop();

    EXPECT_EQ(result.url, outputPath);
    EXPECT_EQ(result.error, nullptr);
    EXPECT_EQ(contentsOf(outputPath), "fake movie header trailer");
    EXPECT_EQ(stream->stopCount(), 1);
    EXPECT_FALSE(stream->isRunning());
    EXPECT_TRUE(writer()->videoInput()->isFinished());
    EXPECT_TRUE(writer()->audioInput()->isFinished());
    EXPECT_EQ(writer()->status(), WriterStatus::completed);
    // The last picture is held until the moment of stopping.
    EXPECT_EQ(compare(*writer()->sessionEnd(), at(500)), 0);

    // Frames still queued at the stop are written, then the file is closed.
    const std::vector<std::string> calls = log->calls();
    const std::vector<std::string> tail(calls.end() - 4, calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"markAsFinished(video)", "markAsFinished(audio)",
                                              "endSession", "finishWriting"}));
    EXPECT_LT(log->indexOf("stopCapture"), log->indexOf("markAsFinished(video)"));
}

struct EndCase {
    std::string name;
    MediaTime clock;
    MediaTime expected;
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class EndTimeTest : public RecorderTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndTimeTest, IsNeverBeforeTheLastFrame) {
    startRecording();
    deliver(completeFrame(at(100)), StreamOutputType::screen);
    deliver(completeFrame(at(200)), StreamOutputType::screen);
    clock->set(GetParam().clock);

    ASSERT_EQ(stop().url, outputPath);

    const MediaTime end = *writer()->sessionEnd();
    EXPECT_EQ(end.value, GetParam().expected.value);
    EXPECT_EQ(end.timescale, GetParam().expected.timescale);
    EXPECT_TRUE(end.isValid());
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, EndTimeTest,
    ::testing::Values(EndCase{"clockLater", at(950), at(950)},
                      EndCase{"clockEarlier", at(150), at(200)},
                      // Equal in value, written on another scale.
                      EndCase{"clockEqual", MediaTime::make(1, 5), at(200)},
                      EndCase{"clockUnreadable", MediaTime::invalid(), at(200)}),
    [](const ::testing::TestParamInfo<EndCase>& tested) { return tested.param.name; });

TEST_F(RecorderTest, EveryFrameDeliveredBeforeTheStopReachesTheFile) {
    startRecording();
    for (int64_t t = 1; t <= 60; ++t) {
        deliver(completeFrame(at(t * 10)), StreamOutputType::screen);
    }

    ASSERT_EQ(stop().url, outputPath);

    EXPECT_EQ(writer()->videoInput()->appended().size(), 60u);
}

TEST_F(RecorderTest, BuffersAfterTheStopFindNoWriter) {
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    ASSERT_EQ(stop().url, outputPath);

    handOver(completeFrame(at(20)), StreamOutputType::screen);

    EXPECT_EQ(writer()->videoInput()->appended().size(), 1u);
}

TEST_F(RecorderTest, StopBeforeAnyCompleteFrameCancelsAndDeletes) {
    startRecording();

    const StopResult result = stop();

    EXPECT_FALSE(result.url.has_value());
    EXPECT_EQ(kindOf(result.error), RecorderError::Kind::noFrames);
    EXPECT_EQ(writer()->cancelCount(), 1);
    EXPECT_TRUE(log->contains("cancelWriting(file present)"));
    EXPECT_EQ(writer()->finishCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(outputPath));
}

TEST_F(RecorderTest, ASecondStopAnswersNothingAndTouchesNoFile) {
    startRecording();
    const auto stream = this->stream();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    ASSERT_EQ(stop().url, outputPath);

    const StopResult second = stop();

    EXPECT_FALSE(second.url.has_value());
    EXPECT_EQ(second.error, nullptr);
    EXPECT_TRUE(std::filesystem::exists(outputPath));
    EXPECT_EQ(writer()->finishCount(), 1);
    EXPECT_EQ(writer()->cancelCount(), 0);
    EXPECT_EQ(stream->stopCount(), 1);
}

TEST_F(RecorderTest, StopWithoutStartAnswersNothing) {
    const StopResult result = stop();
    EXPECT_FALSE(result.url.has_value());
    EXPECT_EQ(result.error, nullptr);
}

TEST_F(RecorderTest, AFailedStreamStopRequestStillFinishesTheFile) {
    startRecording();
    stream()->failStop(
        PlatformError::make("CaptureStream", -3808, "The stream could not be stopped."));
    deliver(completeFrame(at(10)), StreamOutputType::screen);

    const StopResult result = stop();

    EXPECT_EQ(result.url, outputPath);
    EXPECT_EQ(result.error, nullptr);
    EXPECT_TRUE(failures->errors().empty());
}

struct FinishFailureCase {
    std::string name;
    bool writerHasError;
};

void PrintTo(const FinishFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class FinishFailureTest : public RecorderTest,
                          public ::testing::WithParamInterface<FinishFailureCase> {};

TEST_P(FinishFailureTest, DeletesTheFileAndReportsWhy) {
    const ErrorRef cause = GetParam().writerHasError ? PlatformError::fromErrno(EIO) : nullptr;
    writers->onEachWriter([cause](FakeMediaWriter& writer) { writer.failFinishing(cause); });
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);

    const StopResult result = stop();

    EXPECT_FALSE(result.url.has_value());
    if (GetParam().writerHasError) {
        EXPECT_EQ(result.error, cause);
    } else {
        EXPECT_EQ(kindOf(result.error), RecorderError::Kind::writerFailed);
    }
    EXPECT_EQ(writer()->finishCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(outputPath));
}

INSTANTIATE_TEST_SUITE_P(Finishing, FinishFailureTest,
                         ::testing::Values(FinishFailureCase{"withError", true},
                                           FinishFailureCase{"withoutError", false}),
                         [](const ::testing::TestParamInfo<FinishFailureCase>& tested) {
                             return tested.param.name;
                         });

TEST_F(RecorderTest, KeepsItselfAliveWhileStopping) {
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    auto answer = std::make_shared<std::promise<StopResult>>();
    std::future<StopResult> result = answer->get_future();

    recorder->stop([answer](StopResult stopped) { answer->set_value(std::move(stopped)); });
    recorder.reset();

    EXPECT_EQ(result.get().url, outputPath);
    EXPECT_TRUE(std::filesystem::exists(outputPath));
}

TEST_F(RecorderTest, ARecordingLetGoOfWithoutAStopLeavesNoFile) {
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    ASSERT_TRUE(std::filesystem::exists(outputPath));

    recorder.reset();

    EXPECT_EQ(writer()->cancelCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(outputPath));
}

}  // namespace
}  // namespace vantorel::testing
