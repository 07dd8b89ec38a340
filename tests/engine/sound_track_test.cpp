// The system sound recorded next to the picture: a tone played into the session's null sink
// becomes an AAC track of the file, and no sound track is written when sound is off.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "color_window.h"
#include "engine_session.h"
#include "media_timeline.h"
#include "repainter.h"
#include "session_fixture.h"
#include "sink_player.h"
#include "tone_analysis.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr CaptureRect kRegion{100, 100, 320, 240};  // on MON-A
constexpr double kToneHz = 1000;
constexpr auto kRecordingLength = 2s;

class SoundTrackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(headlessSessionPresent())
            << "needs the X server of scripts/headless-session.sh (monitors MON-A and MON-B)";
    }

    // Records the region of MON-A, whose content keeps changing, for a little while, with the
    // tone playing into the session's sink.
    void record(bool capturesAudio) {
        SinkPlayer player("vsink");
        ASSERT_EQ(player.failure(), "");
        player.playTone(kToneHz, 0.5f);
        ASSERT_TRUE(player.waitUntilPrompt()) << "the sink never came to play promptly";
        const std::optional<CaptureDisplay> monA = engine_.displayAt(0, 0);
        ASSERT_TRUE(monA) << "the capture service lists no display at 0,0";
        ColorWindow canvas("", EngineSession::rootRectFor(*monA, kRegion), 0);
        Repainter painter(canvas, 20ms, Repainter::toggling(0x405060, 0x506070));
        ASSERT_EQ(
            engine_.start(EngineSession::configFor(*monA, kRegion, 30, capturesAudio, output_)),
            nullptr);
        ASSERT_TRUE(engine_.log().waitForCompleteFrames(1));
        std::this_thread::sleep_for(kRecordingLength);
        const std::optional<StopResult> result = engine_.stop();
        ASSERT_TRUE(result) << "the stop never answered";
        ASSERT_EQ(result->error, nullptr) << result->error->textualDescription();
        ASSERT_EQ(result->url, output_);
    }

    ScratchFolder folder_;
    std::filesystem::path output_ = folder_.file("sound.mp4");
    EngineSession engine_;
};

TEST_F(SoundTrackTest, AToneInTheSinkBecomesAnAacTrackThatPeaksAtItsFrequency) {
    ASSERT_NO_FATAL_FAILURE(record(true));
    EXPECT_GT(engine_.log().soundBlocks(), 0u);

    const MediaProbe probe(output_);
    const auto audio = probe.streams("audio");
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].at("codec_name"), "aac");
    EXPECT_EQ(audio[0].at("sample_rate"), "48000");
    EXPECT_EQ(audio[0].at("channels"), "2");

    // The sound never starts before the picture.
    const std::optional<double> videoStart = streamNumber(probe, "video", "start_time");
    const std::optional<double> audioStart = streamNumber(probe, "audio", "start_time");
    ASSERT_TRUE(videoStart && audioStart);
    std::printf("video starts at %.6f s, sound at %.6f s\n", *videoStart, *audioStart);
    EXPECT_GE(*audioStart, *videoStart);

    const std::vector<float> sound = soundOnTimeline(output_);
    ASSERT_GT(sound.size(), size_t{48000 * 3 / 2});
    // A second from the middle of the recording, clear of its edges.
    const auto middle = sound.begin() + static_cast<long>(sound.size() / 2);
    const std::vector<float> steady(middle - 24000, middle + 24000);
    EXPECT_GT(pulsetest::channelRms(steady, 1, 0), 0.1) << "the tone is missing or faint";
    const double peak = peakFrequency(steady, 48000, 100, 5000, 5);
    std::printf("sound peaks at %.0f Hz\n", peak);
    EXPECT_NEAR(peak, kToneHz, 5);
}

TEST_F(SoundTrackTest, WithSoundOffTheFileHasNoSoundTrack) {
    ASSERT_NO_FATAL_FAILURE(record(false));
    EXPECT_EQ(engine_.log().soundBlocks(), 0u);
    const MediaProbe probe(output_);
    EXPECT_EQ(probe.streams("video").size(), 1u);
    EXPECT_TRUE(probe.streams("audio").empty());
}

}  // namespace
}  // namespace vantorel::testing
