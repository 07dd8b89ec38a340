// Video tracks written by the FFmpeg writer, checked with ffprobe and by decoding them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "media_probe.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

struct SizeCase {
    const char* name;
    int width;
    int height;
    VideoCodec codec;
    const char* codecName;
    const char* profile;
    int expectedWidth;
    int expectedHeight;
};

void PrintTo(const SizeCase& c, std::ostream* out) {
    *out << c.name;
}

class VideoTrackShape : public ::testing::TestWithParam<SizeCase> {};

TEST_P(VideoTrackShape, HasTheCodecProfileAndSize) {
    const SizeCase& c = GetParam();
    ScratchFolder folder;
    const auto file = folder.file("shape.mp4");
    OpenWriter open = openWriter(file, videoSettings(c.width, c.height, 30, c.codec), false);
    ASSERT_TRUE(open.writer);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(open.video->append(
            videoSample(i / 30.0, solidPixels(c.width, c.height, {200, 40, 40}))));
    }
    finishWriter(open, 5 / 30.0);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const auto video = MediaProbe(file).streams("video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].at("codec_name"), c.codecName);
    EXPECT_EQ(video[0].at("profile"), c.profile);
    EXPECT_EQ(video[0].at("pix_fmt"), "yuv420p");
    EXPECT_EQ(std::stoi(video[0].at("width")), c.expectedWidth);
    EXPECT_EQ(std::stoi(video[0].at("height")), c.expectedHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, VideoTrackShape,
    ::testing::Values(
        SizeCase{"H264Vga", 640, 480, VideoCodec::h264, "h264", "High", 640, 480},
        SizeCase{"H264FullHd", 1920, 1080, VideoCodec::h264, "h264", "High", 1920, 1080},
        SizeCase{"H264Widest", 4096, 96, VideoCodec::h264, "h264", "High", 4096, 96},
        // 4:2:0 has no odd sides; the last column and row are repeated.
        SizeCase{"H264OddSides", 641, 361, VideoCodec::h264, "h264", "High", 642, 362},
        SizeCase{"HevcBeyond4096", 4100, 128, VideoCodec::hevc, "hevc", "Main", 4100, 128}),
    [](const ::testing::TestParamInfo<SizeCase>& param) { return std::string(param.param.name); });

TEST(VideoTrack, HasAKeyFrameAtLeastEveryMaxKeyFrameIntervalFrames) {
    ScratchFolder folder;
    const auto file = folder.file("keys.mp4");
    VideoOutputSettings settings = videoSettings(320, 240, 30);
    settings.compression.maxKeyFrameInterval = 12;
    OpenWriter open = openWriter(file, settings, false);
    ASSERT_TRUE(open.writer);
    constexpr int kFrames = 80;
    for (int i = 0; i < kFrames; ++i) {
        // Changing content, so that nothing but the interval forces key frames.
        ASSERT_TRUE(open.video->append(
            videoSample(i / 30.0, noisePixels(320, 240, static_cast<unsigned>(i)))));
    }
    finishWriter(open, kFrames / 30.0);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const auto packets = MediaProbe(file).videoPackets();
    ASSERT_EQ(packets.size(), static_cast<size_t>(kFrames));
    ASSERT_TRUE(packets.front().key);
    int sinceKey = 0;
    for (const auto& packet : packets) {
        sinceKey = packet.key ? 0 : sinceKey + 1;
        EXPECT_LT(sinceKey, 12) << "at " << packet.time;
    }
}

struct DurationCase {
    const char* name;
    std::vector<double> frameTimes;
    double end;
};

void PrintTo(const DurationCase& c, std::ostream* out) {
    *out << c.name;
}

class SessionDuration : public ::testing::TestWithParam<DurationCase> {};

TEST_P(SessionDuration, EqualsEndMinusStart) {
    const DurationCase& c = GetParam();
    ScratchFolder folder;
    const auto file = folder.file("duration.mp4");
    OpenWriter open = openWriter(file, videoSettings(160, 120, 30), false);
    ASSERT_TRUE(open.writer);
    for (double time : c.frameTimes) {
        ASSERT_TRUE(open.video->append(videoSample(time, solidPixels(160, 120, {10, 200, 10}))));
    }
    finishWriter(open, c.end);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const auto duration = MediaProbe(file).duration();
    ASSERT_TRUE(duration);
    EXPECT_NEAR(*duration, c.end, 1 / 30.0);
}

INSTANTIATE_TEST_SUITE_P(Ends, SessionDuration,
                         ::testing::Values(
                             // The one frame of a still screen lasts until the end.
                             DurationCase{"StillScreen", {0.0}, 3.0},
                             DurationCase{"RegularFrames", {0.0, 1 / 30.0, 2 / 30.0}, 2.5},
                             // Ending just after the last frame's own time.
                             DurationCase{
                                 "EndRightAfterLastFrame", {0.0, 0.5, 1.0}, 1.0 + 1 / 90.0},
                             // The first frame written came after the session start.
                             DurationCase{"FirstFrameLate", {0.4, 0.8}, 1.5}),
                         [](const ::testing::TestParamInfo<DurationCase>& param) {
                             return std::string(param.param.name);
                         });

// Frames of known colours at known, irregular times: each decoded frame has its colour and
// keeps its time, and no frame is repeated to fill the gaps.
TEST(VideoTrack, KeepsEachFramesColourAndTime) {
    struct Drawn {
        double time;
        Rgb colour;
    };
    const std::vector<Drawn> drawn = {
        {0.0, {255, 0, 0}}, {0.1, {0, 255, 0}},   {0.35, {0, 0, 255}},  {0.4, {255, 255, 255}},
        {1.25, {0, 0, 0}},  {1.3, {255, 255, 0}}, {2.0, {0, 128, 255}}, {2.001, {128, 128, 128}}};
    ScratchFolder folder;
    const auto file = folder.file("colours.mp4");
    OpenWriter open = openWriter(file, videoSettings(96, 64, 60), false);
    ASSERT_TRUE(open.writer);
    for (const Drawn& d : drawn) {
        // Padding in each row must not leak into the picture.
        ASSERT_TRUE(open.video->append(videoSample(d.time, solidPixels(96, 64, d.colour, 32))));
    }
    finishWriter(open, 2.5);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const MediaProbe probe(file);
    const auto packets = probe.videoPackets();
    const auto frames = probe.decodedFrames();
    ASSERT_EQ(packets.size(), drawn.size());
    ASSERT_EQ(frames.size(), drawn.size());
    for (size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_NEAR(packets[i].time, drawn[i].time, 0.0001) << "frame " << i;
        const auto& pixels = frames[i];
        const size_t centre = (32 * 96 + 48) * 3;
        EXPECT_NEAR(pixels[centre + 0], drawn[i].colour.r, 6) << "frame " << i;
        EXPECT_NEAR(pixels[centre + 1], drawn[i].colour.g, 6) << "frame " << i;
        EXPECT_NEAR(pixels[centre + 2], drawn[i].colour.b, 6) << "frame " << i;
    }
}

TEST(VideoTrack, DropsFramesThatDoNotMoveForward) {
    ScratchFolder folder;
    const auto file = folder.file("order.mp4");
    OpenWriter open = openWriter(file, videoSettings(64, 64, 30), false);
    ASSERT_TRUE(open.writer);
    for (double time : {0.0, 0.2, 0.2, 0.1, -0.5, 0.3}) {
        open.video->append(videoSample(time, solidPixels(64, 64, {1, 2, 3})));
    }
    finishWriter(open, 0.5);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const auto packets = MediaProbe(file).videoPackets();
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_NEAR(packets[0].time, 0.0, 0.0001);
    EXPECT_NEAR(packets[1].time, 0.2, 0.0001);
    EXPECT_NEAR(packets[2].time, 0.3, 0.0001);
}

}  // namespace
}  // namespace vantorel::testing
