#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/fakes/test_samples.h"
#include "capture/recorder_error.h"
#include "recorder_fixture.h"

namespace vantorel::testing {
namespace {

using Times = std::vector<MediaTime>;

// MediaTime has no equality of its own; times here are all made by at().
std::vector<int64_t> ms(const Times& times) {
    std::vector<int64_t> out;
    for (const MediaTime& t : times) {
        out.push_back(t.isValid() ? t.nanoseconds() / 1'000'000 : -1);
    }
    return out;
}

using Ms = std::vector<int64_t>;

TEST_F(RecorderTest, SoundBeforeTheFirstCompleteFrameIsDropped) {
    startRecording(/*capturesAudio=*/true);

    deliver(soundBlock(at(5)), StreamOutputType::audio);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    deliver(soundBlock(at(8)), StreamOutputType::audio);  // stamped before the picture starts
    deliver(soundBlock(at(10)), StreamOutputType::audio);
    deliver(soundBlock(at(20)), StreamOutputType::audio);
    settle();

    EXPECT_EQ(ms(writer()->sessionStarts()), (Ms{10}));
    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{10}));
    EXPECT_EQ(ms(writer()->audioInput()->appendedTimes()), (Ms{10, 20}));
}

TEST_F(RecorderTest, SoundIsDroppedWhileItsInputIsBusy) {
    startRecording(/*capturesAudio=*/true);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    writer()->audioInput()->setReady(false);
    deliver(soundBlock(at(20)), StreamOutputType::audio);
    settle();
    writer()->audioInput()->setReady(true);
    deliver(soundBlock(at(30)), StreamOutputType::audio);
    settle();

    EXPECT_EQ(ms(writer()->audioInput()->appendedTimes()), (Ms{30}));
}

TEST_F(RecorderTest, ARefusedSoundBlockChangesNothing) {
    startRecording(/*capturesAudio=*/true);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    writer()->audioInput()->setAppendSucceeds(false);
    deliver(soundBlock(at(20)), StreamOutputType::audio);
    settle();
    writer()->audioInput()->setAppendSucceeds(true);
    deliver(soundBlock(at(30)), StreamOutputType::audio);
    settle();

    EXPECT_EQ(writer()->audioInput()->refusedAppends(), 1);
    EXPECT_EQ(ms(writer()->audioInput()->appendedTimes()), (Ms{30}));
    EXPECT_TRUE(failures->errors().empty());
}

struct IncompleteCase {
    std::string name;
    std::optional<std::vector<Attachments>> attachments;
};

void PrintTo(const IncompleteCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<Attachments> statusOf(AttachmentValue value) {
    return {Attachments{{kFrameInfoStatus, value}}};
}

class IncompleteFrameTest : public RecorderTest,
                            public ::testing::WithParamInterface<IncompleteCase> {};

TEST_P(IncompleteFrameTest, IsNeitherWrittenNorStartsTheTimeline) {
    startRecording(/*capturesAudio=*/true);

    deliver(frameWithAttachments(at(10), GetParam().attachments), StreamOutputType::screen);
    deliver(soundBlock(at(15)), StreamOutputType::audio);
    settle();

    EXPECT_TRUE(writer()->sessionStarts().empty());
    EXPECT_TRUE(writer()->videoInput()->appended().empty());
    EXPECT_TRUE(writer()->audioInput()->appended().empty());

    // The timeline starts at the first complete frame, not at the one before it.
    deliver(completeFrame(at(20)), StreamOutputType::screen);
    deliver(frameWithAttachments(at(30), GetParam().attachments), StreamOutputType::screen);
    settle();
    EXPECT_EQ(ms(writer()->sessionStarts()), (Ms{20}));
    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{20}));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, IncompleteFrameTest,
    ::testing::Values(IncompleteCase{"idle", statusOf(int64_t{1})},
                      IncompleteCase{"blank", statusOf(int64_t{2})},
                      IncompleteCase{"suspended", statusOf(int64_t{3})},
                      IncompleteCase{"started", statusOf(int64_t{4})},
                      IncompleteCase{"stopped", statusOf(int64_t{5})},
                      IncompleteCase{"noAttachments", std::nullopt},
                      IncompleteCase{"noStatus", std::vector<Attachments>{Attachments{}}},
                      IncompleteCase{"statusAsText", statusOf(std::string("0"))}),
    [](const ::testing::TestParamInfo<IncompleteCase>& tested) { return tested.param.name; });

TEST_F(RecorderTest, OnlyIncompleteFramesMeanNoFile) {
    startRecording();
    deliver(frameWithStatus(at(10), FrameStatus::idle), StreamOutputType::screen);
    deliver(frameWithStatus(at(20), FrameStatus::blank), StreamOutputType::screen);

    const StopResult result = stop();

    const RecorderError* error = RecorderError::from(result.error);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->kind(), RecorderError::Kind::noFrames);
    EXPECT_FALSE(result.url.has_value());
    EXPECT_FALSE(std::filesystem::exists(outputPath));
}

TEST_F(RecorderTest, FirstCompleteFrameWhileTheInputIsBusyStillStartsTheTimeline) {
    startRecording(/*capturesAudio=*/true);
    writer()->videoInput()->setReady(false);

    deliver(completeFrame(at(10)), StreamOutputType::screen);
    deliver(soundBlock(at(12)), StreamOutputType::audio);
    settle();

    EXPECT_EQ(ms(writer()->sessionStarts()), (Ms{10}));
    EXPECT_TRUE(writer()->videoInput()->appended().empty());
    // The timeline has begun, so sound from then on is kept.
    EXPECT_EQ(ms(writer()->audioInput()->appendedTimes()), (Ms{12}));

    // No frame was written, so with an unreadable clock the end has no frame time either.
    const StopResult result = stop();
    EXPECT_EQ(result.url, outputPath);
    ASSERT_TRUE(writer()->sessionEnd().has_value());
    EXPECT_FALSE(writer()->sessionEnd()->isValid());
}

TEST_F(RecorderTest, AFrameAfterABusyFirstFrameSetsTheLastFrameTime) {
    startRecording();
    writer()->videoInput()->setReady(false);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    writer()->videoInput()->setReady(true);
    deliver(completeFrame(at(20)), StreamOutputType::screen);

    const StopResult result = stop();

    EXPECT_EQ(result.url, outputPath);
    EXPECT_EQ(ms(writer()->sessionStarts()), (Ms{10}));
    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{20}));
    EXPECT_EQ(ms({*writer()->sessionEnd()}), (Ms{20}));
}

TEST_F(RecorderTest, ARefusedFrameDoesNotMoveTheLastFrameTime) {
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    writer()->videoInput()->setAppendSucceeds(false);
    deliver(completeFrame(at(20)), StreamOutputType::screen);
    settle();

    stop();

    EXPECT_EQ(writer()->videoInput()->refusedAppends(), 1);
    EXPECT_EQ(ms({*writer()->sessionEnd()}), (Ms{10}));
}

TEST_F(RecorderTest, TheTimelineStartsOnceAndEveryCompleteFrameIsWritten) {
    startRecording();
    for (int64_t t : {10, 20, 30, 40}) {
        deliver(completeFrame(at(t)), StreamOutputType::screen);
    }
    settle();

    EXPECT_EQ(ms(writer()->sessionStarts()), (Ms{10}));
    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{10, 20, 30, 40}));
}

TEST_F(RecorderTest, InvalidAndUnknownBuffersAreDropped) {
    startRecording(/*capturesAudio=*/true);

    deliver(SampleBuffer::makeInvalid(), StreamOutputType::screen);
    handOver(nullptr, StreamOutputType::screen);
    deliver(completeFrame(at(10)), static_cast<StreamOutputType>(7));
    settle();
    EXPECT_TRUE(writer()->sessionStarts().empty());

    deliver(completeFrame(at(20)), StreamOutputType::screen);
    deliver(SampleBuffer::makeInvalid(), StreamOutputType::audio);
    deliver(soundBlock(at(30)), static_cast<StreamOutputType>(2));
    settle();
    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{20}));
    EXPECT_TRUE(writer()->audioInput()->appended().empty());
}

class IdleWriterTest : public RecorderTest, public ::testing::WithParamInterface<WriterStatus> {};

TEST_P(IdleWriterTest, BuffersAreDroppedWhileTheWriterIsNotWriting) {
    startRecording(/*capturesAudio=*/true);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    writer()->forceStatus(GetParam());

    deliver(completeFrame(at(20)), StreamOutputType::screen);
    deliver(soundBlock(at(30)), StreamOutputType::audio);
    settle();

    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{10}));
    EXPECT_TRUE(writer()->audioInput()->appended().empty());
    EXPECT_TRUE(failures->errors().empty());
}

std::string statusName(const ::testing::TestParamInfo<WriterStatus>& tested) {
    switch (tested.param) {
        case WriterStatus::unknown:
            return "unknown";
        case WriterStatus::completed:
            return "completed";
        case WriterStatus::cancelled:
            return "cancelled";
        default:
            return "other";
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, IdleWriterTest,
                         ::testing::Values(WriterStatus::unknown, WriterStatus::completed,
                                           WriterStatus::cancelled),
                         statusName);

TEST_F(RecorderTest, BuffersWithoutARecordingAreIgnored) {
    handOver(completeFrame(at(10)), StreamOutputType::screen);
    handOver(soundBlock(at(20)), StreamOutputType::audio);

    const StopResult result = stop();
    EXPECT_FALSE(result.url.has_value());
    EXPECT_EQ(result.error, nullptr);
    EXPECT_EQ(writers->requestCount(), 0);
}

TEST_F(RecorderTest, WriterFailureIsReportedOnceWithTheWritersError) {
    startRecording(/*capturesAudio=*/true);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    const ErrorRef diskFull = PlatformError::fromErrno(ENOSPC, outputPath.string());
    writer()->fail(diskFull);

    for (int64_t t = 20; t < 70; t += 10) {
        deliver(completeFrame(at(t)), StreamOutputType::screen);
        deliver(soundBlock(at(t)), StreamOutputType::audio);
    }
    settle();
    // The stream stopping afterwards is not reported again.
    stream()->stopByItself(PlatformError::make("CaptureStream", -3821, "The display went away."));
    settle();

    ASSERT_EQ(failures->errors().size(), 1u);
    EXPECT_EQ(failures->errors()[0], diskFull);
    EXPECT_TRUE(failures->allOnSampleQueue());
    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{10}));
    EXPECT_TRUE(writer()->audioInput()->appended().empty());

    // The recording is left for stop to close: nothing cancelled or deleted yet.
    EXPECT_EQ(writer()->cancelCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(outputPath));
    EXPECT_EQ(stream()->stopCount(), 0);

    const StopResult result = stop();
    EXPECT_FALSE(result.url.has_value());
    EXPECT_EQ(result.error, diskFull);
    EXPECT_FALSE(std::filesystem::exists(outputPath));
    EXPECT_EQ(writer()->finishCount(), 0);
    EXPECT_EQ(failures->errors().size(), 1u);
}

TEST_F(RecorderTest, WriterFailureWithoutAnErrorIsReportedAsWriterFailed) {
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    settle();
    writer()->fail(nullptr);
    deliver(completeFrame(at(20)), StreamOutputType::screen);
    settle();

    ASSERT_EQ(failures->errors().size(), 1u);
    ASSERT_NE(RecorderError::from(failures->errors()[0]), nullptr);
    EXPECT_EQ(RecorderError::from(failures->errors()[0])->kind(),
              RecorderError::Kind::writerFailed);

    const StopResult result = stop();
    ASSERT_NE(RecorderError::from(result.error), nullptr);
    EXPECT_EQ(RecorderError::from(result.error)->kind(), RecorderError::Kind::writerFailed);
    EXPECT_FALSE(std::filesystem::exists(outputPath));
}

TEST_F(RecorderTest, StreamStoppingByItselfIsReportedOnceAndSilencesALaterWriterFailure) {
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    const ErrorRef lost = PlatformError::make("CaptureStream", -3821, "The display went away.");

    stream()->stopByItself(lost);
    settle();
    ASSERT_EQ(failures->errors().size(), 1u);
    EXPECT_EQ(failures->errors()[0], lost);
    EXPECT_TRUE(failures->allOnSampleQueue());

    writer()->fail(PlatformError::fromErrno(ENOSPC));
    deliver(completeFrame(at(20)), StreamOutputType::screen);
    stream()->stopByItself(lost);
    settle();
    EXPECT_EQ(failures->errors().size(), 1u);
}

TEST_F(RecorderTest, AfterTheStreamStoppedByItselfStopStillSavesWhatWasRecorded) {
    startRecording();
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    deliver(completeFrame(at(20)), StreamOutputType::screen);
    stream()->stopByItself(PlatformError::make("CaptureStream", -3821, "The display went away."));
    // Asking an already stopped stream to stop may fail; that is not the recording's failure.
    stream()->failStop(PlatformError::make("CaptureStream", -3808, "The stream is not running."));
    clock->set(at(100));

    const StopResult result = stop();

    EXPECT_EQ(result.url, outputPath);
    EXPECT_EQ(result.error, nullptr);
    EXPECT_TRUE(std::filesystem::exists(outputPath));
    EXPECT_EQ(ms(writer()->videoInput()->appendedTimes()), (Ms{10, 20}));
    EXPECT_EQ(failures->errors().size(), 1u);
}

TEST_F(RecorderTest, FailuresWithoutACallbackAreHarmless) {
    recorder->setOnFailure(nullptr);
    startRecording();
    writer()->fail(nullptr);
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    stream()->stopByItself(PlatformError::make("CaptureStream", -3821, "gone"));
    settle();

    EXPECT_TRUE(failures->errors().empty());
    EXPECT_NE(stop().error, nullptr);
}

}  // namespace
}  // namespace vantorel::testing
