// The engine's rules, with stand-ins for the capture and the writer: what goes into the file,
// where its timeline starts and ends, and how every way of failing ends.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "capture/recorder.h"
#include "capture/recorder_settings.h"
#include "event_loop.h"
#include "fake_capture.h"
#include "gtest_qt_printing.h"

namespace vantorel::testing {
namespace {

using Kind = Error::Kind;

TEST(RecorderSettings, BitRateCodecKeyFramesAndEntropyCoding) {
    using Codec = VideoTrackSettings::Codec;
    struct Case {
        int width, height, rate;
        int64_t bitRate;
        Codec codec;
        bool cavlcOnTwoCores;
    };
    const Case cases[] = {
        {1920, 1080, 30, 6'220'800, Codec::h264High, false},
        {1920, 1080, 60, 12'441'600, Codec::h264High, true},
        {640, 480, 30, 2'000'000, Codec::h264High, false},
        {5120, 2880, 60, 60'000'000, Codec::hevc, true},
        {4096, 2160, 30, 26'542'080, Codec::h264High, true},
        {4097, 2160, 30, 26'548'560, Codec::hevc, true},
        {2160, 4097, 30, 26'548'560, Codec::hevc, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const RecorderConfig config{CaptureRequest{"M", {}, QSize(c.width, c.height), c.rate},
                                    "/f.mp4"};
        const Mp4WriterSettings settings = writerSettingsFor(config, 2);
        EXPECT_EQ(settings.video.bitRate, c.bitRate);
        EXPECT_EQ(settings.video.codec, c.codec);
        EXPECT_EQ(settings.video.keyFrameInterval, 2 * c.rate);
        EXPECT_EQ(settings.video.cavlc, c.cavlcOnTwoCores);
        EXPECT_FALSE(settings.sound);
    }
    const RecorderConfig withSound{CaptureRequest{"M", {}, QSize(640, 360), 30, true, true}, "/f"};
    EXPECT_TRUE(writerSettingsFor(withSound, 2).sound);
    EXPECT_FALSE(usesCavlc(1920, 1080, 60, 4));  // CABAC where the cores have room for it
}

// Recordings on stand-ins, with a clock the test sets.
class RecorderTest : public ::testing::Test {
  protected:
    struct Clock final : HostClock {
        std::optional<int64_t> nowNs() const override { return now; }
        std::optional<int64_t> now = 0;
    };

    void SetUp() override { recorder_ = makeRecorder(); }

    std::unique_ptr<Recorder> makeRecorder() {
        auto recorder = std::make_unique<Recorder>(
            [this] {
                auto source = std::make_unique<FakeCaptureSource>(aftermath_);
                source->startError = sourceError_;
                source_ = source.get();
                return source;
            },
            [this](const Mp4WriterSettings& settings,
                   std::optional<Error>& error) -> std::unique_ptr<Mp4Writer> {
                if (creationError_) {
                    error = creationError_;
                    return nullptr;
                }
                auto writer = std::make_unique<FakeMp4Writer>(settings, aftermath_);
                writer->openError = openError_;
                writer_ = writer.get();
                return writer;
            },
            clock_);
        QObject::connect(recorder.get(), &Recorder::started, [this] { ++started_; });
        QObject::connect(recorder.get(), &Recorder::startFailed,
                         [this](const Error& e) { startFailures_.push_back(e); });
        QObject::connect(recorder.get(), &Recorder::finished,
                         [this](const StopResult& r) { results_.push_back(r); });
        return recorder;
    }

    QString path() const { return dir_.filePath("a.mp4"); }
    bool fileExists() const { return QFile::exists(path()); }

    void start(bool withSound = false) {
        recorder_->start(RecorderConfig{
            CaptureRequest{"MON-A", QRect(0, 0, 640, 360), QSize(640, 360), 30, true, withSound},
            path()});
        drainMainThread();
    }
    StopResult stop() {
        const size_t before = results_.size();
        recorder_->stop();
        drainMainThread();
        EXPECT_EQ(results_.size(), before + 1) << "one answer per stop";
        return results_.empty() ? StopResult{} : results_.back();
    }

    QTemporaryDir dir_;
    std::shared_ptr<Clock> clock_ = std::make_shared<Clock>();
    std::optional<Error> sourceError_;
    std::optional<Error> creationError_;
    std::optional<Error> openError_;
    Aftermath aftermath_;
    FakeCaptureSource* source_ = nullptr;
    FakeMp4Writer* writer_ = nullptr;
    std::unique_ptr<Recorder> recorder_;
    int started_ = 0;
    std::vector<Error> startFailures_;
    std::vector<StopResult> results_;
};

// Sound starts with the first picture; frames without new content are not written and do not
// start the timeline; the timeline starts at the first complete frame even when the writer is
// too busy to take that frame.
TEST_F(RecorderTest, WhatGoesIntoTheFile) {
    start(true);
    ASSERT_EQ(started_, 1);
    EXPECT_EQ(source_->request.monitor, "MON-A");
    source_->deliverSound(5);
    source_->deliver(10, false);
    writer_->acceptsVideo = false;
    source_->deliver(20);
    writer_->acceptsVideo = true;
    source_->deliverSound(15);
    source_->deliverSound(25);
    source_->deliver(30, false);
    source_->deliver(40);
    EXPECT_EQ(writer_->begins, std::vector<int64_t>{20});
    EXPECT_EQ(writer_->video, std::vector<int64_t>{40});
    EXPECT_EQ(writer_->sound, std::vector<int64_t>{25});
}

// The last picture stays on screen until the stop, but the file never ends before it.
TEST_F(RecorderTest, TheTimelineEndsAtTheStopNeverBeforeTheLastFrame) {
    const std::pair<std::optional<int64_t>, int64_t> cases[] = {
        {1000, 1000}, {30, 50}, {std::nullopt, 50}};
    for (const auto& [now, end] : cases) {
        recorder_ = makeRecorder();
        start();
        source_->deliver(50);
        clock_->now = now;
        const StopResult result = stop();
        EXPECT_EQ(result.path, path());
        EXPECT_FALSE(result.error);
        EXPECT_EQ(aftermath_.finishedAt, end);
        QFile::remove(path());
    }
}

// Every way of failing to start leaves nothing running and no file, with one answer.
TEST_F(RecorderTest, AFailedStartLeavesNothingBehind) {
    const Error exists =
        Error{Kind::cannotWrite, "The video file could not be created.", "File exists"};
    const Error noEncoder{Kind::cannotWrite, "The video file could not be created.", "x264"};
    const Error noMonitor{Kind::noDisplay, "No display was found to record.", "MON-A"};
    struct Case {
        const char* what;
        std::optional<Error>* cause;
        Error error;
    };
    const Case cases[] = {{"file", &creationError_, exists},
                          {"encoders", &openError_, noEncoder},
                          {"capture", &sourceError_, noMonitor}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        creationError_ = openError_ = sourceError_ = std::nullopt;
        *c.cause = c.error;
        startFailures_.clear();
        source_ = nullptr;
        aftermath_ = {};
        recorder_ = makeRecorder();
        start();
        EXPECT_EQ(started_, 0);
        EXPECT_EQ(startFailures_, std::vector<Error>{c.error});
        EXPECT_FALSE(fileExists());
        EXPECT_TRUE(source_ == nullptr || aftermath_.sourceStops > 0) << "left running";
        EXPECT_FALSE(stop().path) << "nothing was recording";
    }
}

TEST_F(RecorderTest, WithoutACompleteFrameNoFileIsKept) {
    start();
    source_->deliver(10, false);
    const StopResult result = stop();
    EXPECT_FALSE(result.path);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->kind, Kind::noFrames);
    EXPECT_FALSE(fileExists());
}

TEST_F(RecorderTest, ASecondStopAnswersThatNothingWasRecording) {
    start();
    source_->deliver(10);
    ASSERT_TRUE(stop().path);
    const StopResult again = stop();
    EXPECT_FALSE(again.path);
    EXPECT_FALSE(again.error);
    EXPECT_TRUE(fileExists()) << "the kept file is not touched";
}

TEST_F(RecorderTest, ARecordingLetGoOfWithoutAStopLeavesNoFile) {
    start();
    source_->deliver(10);
    ASSERT_TRUE(fileExists());
    recorder_.reset();
    EXPECT_FALSE(fileExists());
}

}  // namespace
}  // namespace vantorel::testing
