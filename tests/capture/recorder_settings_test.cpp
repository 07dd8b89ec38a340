#include <gtest/gtest.h>

#include <optional>

#include "capture/recorder_settings.h"

namespace vantorel {
namespace {

RecorderConfig sized(int64_t width, int64_t height, int64_t frameRate) {
    RecorderConfig config;
    config.pixelWidth = width;
    config.pixelHeight = height;
    config.frameRate = frameRate;
    return config;
}

struct VideoCase {
    int64_t width;
    int64_t height;
    int64_t frameRate;
    int64_t bitRate;
    VideoCodec codec;
    std::optional<VideoProfileLevel> profile;
    int64_t keyFrameInterval;
};

void PrintTo(const VideoCase& c, std::ostream* out) {
    *out << c.width << "x" << c.height << "@" << c.frameRate;
}

class VideoSettingsTest : public ::testing::TestWithParam<VideoCase> {};

TEST_P(VideoSettingsTest, FollowsSizeAndRate) {
    const VideoCase& c = GetParam();
    const VideoOutputSettings settings = videoSettingsFor(sized(c.width, c.height, c.frameRate));

    EXPECT_EQ(settings.codec, c.codec);
    EXPECT_EQ(settings.width, c.width);
    EXPECT_EQ(settings.height, c.height);
    EXPECT_EQ(settings.compression.averageBitRate, c.bitRate);
    EXPECT_EQ(settings.compression.expectedSourceFrameRate, c.frameRate);
    EXPECT_EQ(settings.compression.maxKeyFrameInterval, c.keyFrameInterval);
    EXPECT_EQ(settings.compression.profileLevel, c.profile);
    EXPECT_EQ(averageVideoBitRateFor(sized(c.width, c.height, c.frameRate)), c.bitRate);
}

constexpr auto kHigh = VideoProfileLevel::h264HighAutoLevel;

INSTANTIATE_TEST_SUITE_P(
    Sizes, VideoSettingsTest,
    ::testing::Values(
        // A tenth of a bit per pixel per frame.
        VideoCase{1920, 1080, 30, 6'220'800, VideoCodec::h264, kHigh, 60},
        VideoCase{1920, 1080, 60, 12'441'600, VideoCodec::h264, kHigh, 120},
        // Below the floor and above the ceiling.
        VideoCase{640, 480, 30, 2'000'000, VideoCodec::h264, kHigh, 60},
        VideoCase{1, 1, 30, 2'000'000, VideoCodec::h264, kHigh, 60},
        VideoCase{5120, 2880, 60, 60'000'000, VideoCodec::hevc, std::nullopt, 120},
        // Exactly at the floor and at the ceiling.
        VideoCase{2000, 1000, 10, 2'000'000, VideoCodec::h264, kHigh, 20},
        VideoCase{4000, 2500, 60, 60'000'000, VideoCodec::h264, kHigh, 120},
        // A side of 4096 is still H.264; one more pixel on either side is HEVC.
        VideoCase{4096, 2160, 30, 26'542'080, VideoCodec::h264, kHigh, 60},
        VideoCase{4096, 4096, 30, 50'331'648, VideoCodec::h264, kHigh, 60},
        VideoCase{4097, 2160, 30, 26'548'560, VideoCodec::hevc, std::nullopt, 60},
        VideoCase{2160, 4097, 30, 26'548'560, VideoCodec::hevc, std::nullopt, 60},
        // Fractions of a bit are cut off, never rounded up.
        VideoCase{1279, 721, 25, 2'305'397, VideoCodec::h264, kHigh, 50},
        VideoCase{1366, 768, 60, 6'294'528, VideoCodec::h264, kHigh, 120}));

TEST(AudioSettingsTest, AreStereoAacAt48kHzAnd128kbps) {
    const AudioOutputSettings settings = audioSettings();
    EXPECT_EQ(settings.formatID, 0x61616320u);
    EXPECT_EQ(settings.numberOfChannels, 2);
    EXPECT_EQ(settings.sampleRate, 48000);
    EXPECT_EQ(settings.encoderBitRate, 128000);
}

TEST(StreamConfigurationTest, TakesRegionSizeRateAndCursorFromTheConfiguration) {
    RecorderConfig config = sized(2880, 1800, 60);
    config.sourceRect = CaptureRect{10.5, 20.25, 1440, 900};
    config.showsCursor = false;

    const StreamConfiguration stream = streamConfigurationFor(config);

    EXPECT_EQ(stream.sourceRect.x, 10.5);
    EXPECT_EQ(stream.sourceRect.y, 20.25);
    EXPECT_EQ(stream.sourceRect.width, 1440);
    EXPECT_EQ(stream.sourceRect.height, 900);
    EXPECT_EQ(stream.width, 2880);
    EXPECT_EQ(stream.height, 1800);
    EXPECT_EQ(stream.minimumFrameInterval.value, 1);
    EXPECT_EQ(stream.minimumFrameInterval.timescale, 60);
    EXPECT_TRUE(stream.minimumFrameInterval.isValid());
    EXPECT_EQ(stream.pixelFormat, 0x42475241u);
    EXPECT_FALSE(stream.showsCursor);
    EXPECT_EQ(stream.queueDepth, 6);
}

TEST(StreamConfigurationTest, WithoutSoundKeepsTheSoundDefaults) {
    RecorderConfig config = sized(1920, 1080, 30);
    config.showsCursor = true;
    config.capturesAudio = false;
    const StreamConfiguration defaults;

    const StreamConfiguration stream = streamConfigurationFor(config);

    EXPECT_TRUE(stream.showsCursor);
    EXPECT_EQ(stream.minimumFrameInterval.timescale, 30);
    EXPECT_EQ(stream.capturesAudio, defaults.capturesAudio);
    EXPECT_EQ(stream.sampleRate, defaults.sampleRate);
    EXPECT_EQ(stream.channelCount, defaults.channelCount);
    EXPECT_EQ(stream.excludesCurrentProcessAudio, defaults.excludesCurrentProcessAudio);
}

TEST(StreamConfigurationTest, WithSoundAsksForStereo48kHzWithoutOurOwnSounds) {
    RecorderConfig config = sized(1920, 1080, 30);
    config.capturesAudio = true;

    const StreamConfiguration stream = streamConfigurationFor(config);

    EXPECT_TRUE(stream.capturesAudio);
    EXPECT_EQ(stream.sampleRate, 48000);
    EXPECT_EQ(stream.channelCount, 2);
    EXPECT_TRUE(stream.excludesCurrentProcessAudio);
}

}  // namespace
}  // namespace vantorel
