#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "capture/fakes/queue_drain.h"
#include "capture/fakes/test_samples.h"
#include "capture/recorder_error.h"
#include "capture/recorder_settings.h"
#include "recorder_fixture.h"

namespace vantorel::testing {
namespace {

using Calls = std::vector<std::string>;

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const RecorderError* engineError(const ErrorRef& error) {
    return RecorderError::from(error);
}

TEST_F(RecorderTest, OpensTheWriterBeforeItStartsTheStream) {
    startRecording();

    EXPECT_EQ(log->calls(),
              (Calls{"makeWriter", "makeVideoInput", "addInput(video)", "startWriting",
                     "makeStream", "addStreamOutput(screen)", "startCapture"}));
    EXPECT_TRUE(stream()->isRunning());
    EXPECT_EQ(recorder->sampleQueue()->label(), "Vantorel.samples");
    EXPECT_EQ(stream()->queueFor(StreamOutputType::screen), recorder->sampleQueue());
    EXPECT_EQ(stream()->registeredTypes(), std::vector<StreamOutputType>{StreamOutputType::screen});
    EXPECT_TRUE(writer()->videoInput()->expectsMediaDataInRealTime());
    EXPECT_EQ(writer()->audioInput(), nullptr);
    EXPECT_EQ(writer()->path(), outputPath);
    EXPECT_EQ(failures->errors().size(), 0u);
}

TEST_F(RecorderTest, HandsTheComputedSettingsToWriterAndStream) {
    const RecorderConfig wanted = config();
    ASSERT_EQ(start(wanted), nullptr);

    const VideoOutputSettings expected = videoSettingsFor(wanted);
    const auto video = writer()->videoSettings();
    ASSERT_TRUE(video.has_value());
    EXPECT_EQ(video->codec, expected.codec);
    EXPECT_EQ(video->width, 1920);
    EXPECT_EQ(video->height, 1080);
    EXPECT_EQ(video->compression.averageBitRate, 6'220'800);
    EXPECT_EQ(video->compression.maxKeyFrameInterval, 60);
    EXPECT_EQ(video->compression.profileLevel, expected.compression.profileLevel);

    const StreamConfiguration& stream = this->stream()->configuration();
    EXPECT_EQ(this->stream()->filter(), wanted.filter);
    EXPECT_EQ(stream.sourceRect.x, 100.5);
    EXPECT_EQ(stream.sourceRect.y, 200.25);
    EXPECT_EQ(stream.width, 1920);
    EXPECT_EQ(stream.height, 1080);
    EXPECT_EQ(stream.minimumFrameInterval.timescale, 30);
    EXPECT_FALSE(stream.showsCursor);
    EXPECT_EQ(stream.queueDepth, 6);
    EXPECT_FALSE(stream.capturesAudio);
}

TEST_F(RecorderTest, WithSoundAddsASoundTrackAndASoundOutput) {
    startRecording(/*capturesAudio=*/true);

    EXPECT_EQ(log->calls(),
              (Calls{"makeWriter", "makeVideoInput", "addInput(video)", "makeAudioInput",
                     "addInput(audio)", "startWriting", "makeStream", "addStreamOutput(screen)",
                     "addStreamOutput(audio)", "startCapture"}));
    ASSERT_NE(writer()->audioInput(), nullptr);
    EXPECT_TRUE(writer()->audioInput()->expectsMediaDataInRealTime());
    ASSERT_TRUE(writer()->audioSettings().has_value());
    EXPECT_EQ(writer()->audioSettings()->formatID, kAudioFormatMPEG4AAC);
    EXPECT_EQ(writer()->audioSettings()->encoderBitRate, 128000);
    EXPECT_EQ(stream()->queueFor(StreamOutputType::audio), recorder->sampleQueue());
    EXPECT_TRUE(stream()->configuration().capturesAudio);
    EXPECT_TRUE(stream()->configuration().excludesCurrentProcessAudio);
}

TEST_F(RecorderTest, CommitsTheWritingStateBeforeTheStreamExists) {
    // A frame that reaches the recorder while the stream is still being made must find an open
    // writer: the stream may deliver as soon as it exists.
    Recorder* target = recorder.get();
    service->onEachStream([target](FakeCaptureStream& stream) {
        target->sampleQueue()->async([target, &stream] {
            target->streamDidOutput(stream, completeFrame(at(10)), StreamOutputType::screen);
        });
        drain(*target->sampleQueue());
    });

    startRecording();

    EXPECT_EQ(writer()->sessionStarts().size(), 1u);
    EXPECT_EQ(writer()->videoInput()->appended().size(), 1u);
}

TEST_F(RecorderTest, WriterThatCannotBeCreatedFailsWithCannotWriteAroundItsError) {
    const ErrorRef cause = PlatformError::fromErrno(EACCES, outputPath.string());
    writers->refuseWith(cause);

    const ErrorRef error = start(config());

    ASSERT_NE(engineError(error), nullptr);
    EXPECT_EQ(engineError(error)->kind(), RecorderError::Kind::cannotWrite);
    EXPECT_EQ(engineError(error)->underlying(), cause);
    EXPECT_EQ(service->streamCount(), 0);
    EXPECT_FALSE(stop().url.has_value());
}

struct RefusalCase {
    std::string name;
    bool refuseVideoInput;  // otherwise startWriting is refused
    bool writerHasError;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class WriterRefusalTest : public RecorderTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(WriterRefusalTest, FailsWithCannotWriteAndLeavesAnExistingFileAlone) {
    const RefusalCase& c = GetParam();
    const ErrorRef cause =
        c.writerHasError ? PlatformError::make("FFmpeg", -28, "No space left on device") : nullptr;
    writers->onEachWriter([&](FakeMediaWriter& writer) {
        if (c.refuseVideoInput) {
            writer.refuseInput(MediaType::video, cause);
        } else {
            writer.refuseStartWriting(cause);
        }
    });
    // The engine neither tests for nor removes what is already there.
    std::ofstream(outputPath) << "somebody else's file";

    const ErrorRef error = start(config(/*capturesAudio=*/true));

    ASSERT_NE(engineError(error), nullptr);
    EXPECT_EQ(engineError(error)->kind(), RecorderError::Kind::cannotWrite);
    const RecorderError* underlying = engineError(engineError(error)->underlying());
    if (c.writerHasError) {
        EXPECT_EQ(engineError(error)->underlying(), cause);
    } else {
        ASSERT_NE(underlying, nullptr);
        EXPECT_EQ(underlying->kind(), RecorderError::Kind::writerFailed);
    }
    EXPECT_EQ(log->contains("startWriting"), !c.refuseVideoInput);
    EXPECT_EQ(writer()->cancelCount(), 0);
    EXPECT_EQ(service->streamCount(), 0);
    EXPECT_EQ(contentsOf(outputPath), "somebody else's file");

    const StopResult result = stop();
    EXPECT_FALSE(result.url.has_value());
    EXPECT_EQ(result.error, nullptr);
    EXPECT_EQ(contentsOf(outputPath), "somebody else's file");
}

INSTANTIATE_TEST_SUITE_P(Refusals, WriterRefusalTest,
                         ::testing::Values(RefusalCase{"videoInputWithError", true, true},
                                           RefusalCase{"videoInputWithoutError", true, false},
                                           RefusalCase{"startWritingWithError", false, true},
                                           RefusalCase{"startWritingWithoutError", false, false}),
                         [](const ::testing::TestParamInfo<RefusalCase>& tested) {
                             return tested.param.name;
                         });

TEST_F(RecorderTest, RefusedSoundTrackRecordsThePictureAlone) {
    writers->onEachWriter([](FakeMediaWriter& writer) { writer.refuseInput(MediaType::audio); });

    startRecording(/*capturesAudio=*/true);

    EXPECT_EQ(writer()->addedInputs(), std::vector<MediaType>{MediaType::video});
    // The stream still delivers sound; it is dropped on arrival.
    EXPECT_TRUE(stream()->configuration().capturesAudio);
    EXPECT_EQ(stream()->registeredTypes(),
              (std::vector<StreamOutputType>{StreamOutputType::screen, StreamOutputType::audio}));
    deliver(completeFrame(at(10)), StreamOutputType::screen);
    deliver(soundBlock(at(20)), StreamOutputType::audio);
    settle();
    EXPECT_EQ(writer()->videoInput()->appended().size(), 1u);
    EXPECT_EQ(writer()->audioInput()->appended().size(), 0u);

    const StopResult result = stop();
    EXPECT_EQ(result.url, outputPath);
    EXPECT_FALSE(writer()->audioInput()->isFinished());
}

enum class StreamFailure { screenOutput, audioOutput, startCapture };

struct StreamFailureCase {
    std::string name;
    StreamFailure failure;
    int64_t code;
};

void PrintTo(const StreamFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class StreamFailureTest : public RecorderTest,
                          public ::testing::WithParamInterface<StreamFailureCase> {};

TEST_P(StreamFailureTest, CancelsTheWriterDeletesTheFileAndPassesTheErrorOn) {
    const StreamFailureCase& c = GetParam();
    const ErrorRef cause =
        PlatformError::make("CaptureStream", c.code, "The stream could not be started.");
    service->onEachStream([&](FakeCaptureStream& stream) {
        switch (c.failure) {
            case StreamFailure::screenOutput:
                stream.refuseOutput(StreamOutputType::screen, cause);
                break;
            case StreamFailure::audioOutput:
                stream.refuseOutput(StreamOutputType::audio, cause);
                break;
            case StreamFailure::startCapture:
                stream.failStart(cause);
                break;
        }
    });

    const ErrorRef error = start(config(/*capturesAudio=*/true));

    EXPECT_EQ(error, cause);
    EXPECT_EQ(writer()->cancelCount(), 1);
    // Cancelled first, then deleted.
    EXPECT_TRUE(log->contains("cancelWriting(file present)"));
    EXPECT_FALSE(std::filesystem::exists(outputPath));
    EXPECT_EQ(stream(), nullptr) << "the failed stream is let go of";
    EXPECT_EQ(log->contains("startCapture"), c.failure == StreamFailure::startCapture);

    const StopResult result = stop();
    EXPECT_FALSE(result.url.has_value());
    EXPECT_EQ(result.error, nullptr);
    EXPECT_FALSE(log->contains("stopCapture"));
    EXPECT_EQ(writer()->finishCount(), 0);
    EXPECT_EQ(writer()->cancelCount(), 1);
    EXPECT_TRUE(failures->errors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, StreamFailureTest,
    ::testing::Values(StreamFailureCase{"screenOutput", StreamFailure::screenOutput, -3802},
                      StreamFailureCase{"audioOutput", StreamFailure::audioOutput, -3805},
                      StreamFailureCase{"permissionDeclined", StreamFailure::startCapture,
                                        PlatformError::kPermissionDeclined}),
    [](const ::testing::TestParamInfo<StreamFailureCase>& tested) { return tested.param.name; });

TEST(RecorderFactoryTest, MakesAFreshRecorderEachTime) {
    const CaptureEngineFactory factory = makeRecorderFactory(RecorderServices{
        std::make_shared<FakeCaptureService>(), std::make_shared<FakeMediaWriterFactory>(),
        std::make_shared<FakeHostClock>()});
    const auto first = factory();
    const auto second = factory();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
}

}  // namespace
}  // namespace vantorel::testing
