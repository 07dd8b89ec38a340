// The recorder writing real MPEG-4 files through the FFmpeg media writer, checked with ffprobe.
// The capture stream is the fake one, so every time stamp and the end of the file are exact.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "capture/fakes/call_log.h"
#include "capture/fakes/fake_capture_service.h"
#include "capture/fakes/fake_host_clock.h"
#include "capture/fakes/test_samples.h"
#include "capture/recorder.h"
#include "capture/recorder_error.h"
#include "platform/ffmpeg/ffmpeg_writer_factory.h"

namespace vantorel::testing {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// key=value lines of ffprobe for the selected stream (or for the container when `streams` is
// empty); empty when ffprobe cannot read the file.
std::map<std::string, std::string> probe(const std::filesystem::path& file,
                                         const std::string& streams, const std::string& entries) {
    std::string command = "ffprobe -v error ";
    if (!streams.empty()) {
        command += "-select_streams " + streams + " ";
    }
    command +=
        "-show_entries " + entries + " -of default=noprint_wrappers=1 '" + file.string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::map<std::string, std::string> values;
    if (!pipe) {
        return values;
    }
    std::array<char, 512> line{};
    while (fgets(line.data(), static_cast<int>(line.size()), pipe.get()) != nullptr) {
        std::string text(line.data());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            values[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    return values;
}

double durationOf(const std::filesystem::path& file) {
    const auto values = probe(file, "", "format=duration");
    const auto found = values.find("duration");
    return found == values.end() ? -1.0 : std::stod(found->second);
}

SampleBufferRef picture(int64_t ms, uint8_t shade) {
    auto pixels = std::make_shared<PixelBuffer>();
    pixels->width = kWidth;
    pixels->height = kHeight;
    pixels->bytesPerRow = kWidth * 4;
    pixels->bytes.assign(static_cast<size_t>(kWidth) * kHeight * 4, shade);
    Attachments first{{kFrameInfoStatus, static_cast<int64_t>(FrameStatus::complete)}};
    return SampleBuffer::makeVideo(at(ms), std::move(pixels), std::vector<Attachments>{first});
}

class RecorderFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantorel-file-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        output = folder / "Screen Recording.mp4";
        // Queues long enough that no buffer of these short recordings is turned away.
        recorder = Recorder::make(RecorderServices{
            service, std::make_shared<FfmpegWriterFactory>(WriterQueueLengths{64, 512}), clock});
    }

    void TearDown() override {
        recorder.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    ErrorRef start(bool capturesAudio) {
        auto filter = std::make_shared<ContentFilter>();
        RecorderConfig config;
        config.filter = filter;
        config.sourceRect = CaptureRect{0, 0, kWidth, kHeight};
        config.pixelWidth = kWidth;
        config.pixelHeight = kHeight;
        config.frameRate = 30;
        config.capturesAudio = capturesAudio;
        config.outputURL = output;
        auto answer = std::make_shared<std::promise<ErrorRef>>();
        auto result = answer->get_future();
        recorder->start(config, [answer](ErrorRef error) { answer->set_value(std::move(error)); });
        return result.get();
    }

    StopResult stop() {
        auto answer = std::make_shared<std::promise<StopResult>>();
        auto result = answer->get_future();
        recorder->stop([answer](StopResult stopped) { answer->set_value(std::move(stopped)); });
        return result.get();
    }

    // One second of pictures from 1 s on the host clock, with sound when asked for.
    void recordOneSecond(bool withSound) {
        const auto stream = service->lastStream();
        ASSERT_NE(stream, nullptr);
        for (int frame = 0; frame < 30; ++frame) {
            stream->deliver(picture(1000 + frame * 1000 / 30, static_cast<uint8_t>(frame * 8)),
                            StreamOutputType::screen);
            if (withSound) {
                for (int block = 0; block < 3; ++block) {
                    stream->deliver(soundBlock(at(1000 + frame * 1000 / 30 + block * 10)),
                                    StreamOutputType::audio);
                }
            }
        }
    }

    std::filesystem::path folder;
    std::filesystem::path output;
    std::shared_ptr<FakeCaptureService> service = std::make_shared<FakeCaptureService>();
    std::shared_ptr<FakeHostClock> clock = std::make_shared<FakeHostClock>();
    std::shared_ptr<Recorder> recorder;
};

TEST_F(RecorderFileTest, WritesH264AndAacHoldingTheLastPictureUntilTheStop) {
    ASSERT_EQ(start(/*capturesAudio=*/true), nullptr);
    recordOneSecond(/*withSound=*/true);
    clock->set(at(3000));

    const StopResult result = stop();

    ASSERT_EQ(result.error, nullptr) << result.error->textualDescription();
    ASSERT_EQ(result.url, output);
    const auto video = probe(output, "v:0", "stream=codec_name,profile,width,height");
    EXPECT_EQ(video.at("codec_name"), "h264");
    EXPECT_EQ(video.at("profile"), "High");
    EXPECT_EQ(video.at("width"), "320");
    EXPECT_EQ(video.at("height"), "240");
    const auto sound = probe(output, "a:0", "stream=codec_name,sample_rate,channels");
    EXPECT_EQ(sound.at("codec_name"), "aac");
    EXPECT_EQ(sound.at("sample_rate"), "48000");
    EXPECT_EQ(sound.at("channels"), "2");
    // From the first picture at 1 s to the stop at 3 s.
    EXPECT_NEAR(durationOf(output), 2.0, 0.1);
}

TEST_F(RecorderFileTest, WithAnUnreadableClockTheFileEndsAtTheLastPicture) {
    ASSERT_EQ(start(/*capturesAudio=*/false), nullptr);
    recordOneSecond(/*withSound=*/false);

    const StopResult result = stop();

    ASSERT_EQ(result.url, output);
    EXPECT_TRUE(probe(output, "a:0", "stream=codec_name").empty())
        << "no sound track was asked for";
    const double duration = durationOf(output);
    EXPECT_GE(duration, 0.9);
    EXPECT_LT(duration, 1.5);
}

TEST_F(RecorderFileTest, NoCompletePictureLeavesNoFile) {
    ASSERT_EQ(start(/*capturesAudio=*/false), nullptr);
    service->lastStream()->deliver(frameWithStatus(at(1000), FrameStatus::idle),
                                   StreamOutputType::screen);

    const StopResult result = stop();

    ASSERT_NE(RecorderError::from(result.error), nullptr);
    EXPECT_EQ(RecorderError::from(result.error)->kind(), RecorderError::Kind::noFrames);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(RecorderFileTest, AStreamThatCannotStartLeavesNoFile) {
    const ErrorRef declined = PlatformError::make(
        "CaptureStream", PlatformError::kPermissionDeclined, "The user declined.");
    service->onEachStream([declined](FakeCaptureStream& stream) { stream.failStart(declined); });

    EXPECT_EQ(start(/*capturesAudio=*/true), declined);

    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(RecorderFileTest, AFolderThatDoesNotExistCannotBeWritten) {
    output = folder / "missing" / "Screen Recording.mp4";

    const ErrorRef error = start(/*capturesAudio=*/false);

    ASSERT_NE(RecorderError::from(error), nullptr);
    EXPECT_EQ(RecorderError::from(error)->kind(), RecorderError::Kind::cannotWrite);
    EXPECT_EQ(service->streamCount(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
}  // namespace vantorel::testing
