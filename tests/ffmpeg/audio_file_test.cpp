// Sound tracks written by the FFmpeg writer, checked with ffprobe and by decoding them.
#include <gtest/gtest.h>

#include <cmath>

#include "media_probe.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 480;  // 10 ms, as the sound server delivers them

// Rising zero crossings per second over samples [from, to).
double frequency(const std::vector<float>& samples, size_t from, size_t to) {
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            ++crossings;
        }
    }
    return crossings * static_cast<double>(kRate) / static_cast<double>(to - from);
}

double loudness(const std::vector<float>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

// Writes a still picture and `seconds` of a tone in 10 ms blocks starting at `firstBlockAt`.
OpenWriter writeTone(const std::filesystem::path& file, double firstBlockAt, double seconds,
                     double end, int rate = kRate, int channels = 2) {
    OpenWriter open = openWriter(file, videoSettings(64, 48), true);
    if (!open.writer) {
        return open;
    }
    EXPECT_TRUE(open.video->append(videoSample(0, solidPixels(64, 48, {0, 0, 0}))));
    const int block = rate / 100;
    const int blocks = static_cast<int>(std::lround(seconds * 100));
    for (int i = 0; i < blocks; ++i) {
        EXPECT_TRUE(open.audio->append(toneSample(firstBlockAt + i / 100.0, block, 1000.0,
                                                  int64_t{i} * block, rate, channels)));
    }
    finishWriter(open, end);
    return open;
}

TEST(SoundTrack, IsAac48kStereoWithTheTone) {
    ScratchFolder folder;
    const auto file = folder.file("tone.mp4");
    OpenWriter open = writeTone(file, 0.0, 2.0, 2.0);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const MediaProbe probe(file);
    const auto audio = probe.streams("audio");
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].at("codec_name"), "aac");
    EXPECT_EQ(audio[0].at("sample_rate"), "48000");
    EXPECT_EQ(audio[0].at("channels"), "2");
    EXPECT_NEAR(std::stod(audio[0].at("bit_rate")), 128000, 20000);

    const auto sound = probe.decodedSound();
    ASSERT_GE(sound.size(), static_cast<size_t>(kRate * 19 / 10));
    EXPECT_NEAR(frequency(sound, kRate / 4, kRate * 7 / 4), 1000.0, 5.0);
    EXPECT_GT(loudness(sound, kRate / 4, kRate * 7 / 4), 0.2);
}

TEST(SoundTrack, OtherRatesAndMonoAreConvertedToTheTracksFormat) {
    ScratchFolder folder;
    const auto file = folder.file("mono44k.mp4");
    OpenWriter open = writeTone(file, 0.0, 2.0, 2.0, 44100, 1);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const MediaProbe probe(file);
    const auto audio = probe.streams("audio");
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].at("sample_rate"), "48000");
    EXPECT_EQ(audio[0].at("channels"), "2");
    const auto sound = probe.decodedSound();
    ASSERT_GE(sound.size(), static_cast<size_t>(kRate * 19 / 10));
    EXPECT_NEAR(frequency(sound, kRate / 4, kRate * 7 / 4), 1000.0, 5.0);
}

TEST(SoundTrack, IsAbsentWhenNoSoundInputWasAdded) {
    ScratchFolder folder;
    const auto file = folder.file("silent.mp4");
    OpenWriter open = openWriter(file, videoSettings(64, 48), false);
    ASSERT_TRUE(open.writer);
    ASSERT_TRUE(open.video->append(videoSample(0, solidPixels(64, 48, {9, 9, 9}))));
    finishWriter(open, 1.0);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const MediaProbe probe(file);
    EXPECT_TRUE(probe.streams("audio").empty());
    EXPECT_EQ(probe.streams("video").size(), 1u);
}

// Sound that starts after the picture is placed at its own time: silence comes first.
TEST(SoundTrack, StartsAtItsOwnTimeAfterSilence) {
    ScratchFolder folder;
    const auto file = folder.file("late.mp4");
    OpenWriter open = writeTone(file, 0.5, 1.0, 1.5);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const auto sound = MediaProbe(file).decodedSound();
    ASSERT_GE(sound.size(), static_cast<size_t>(kRate * 14 / 10));
    EXPECT_LT(loudness(sound, 0, kRate * 45 / 100), 0.01);
    EXPECT_GT(loudness(sound, kRate * 55 / 100, kRate * 140 / 100), 0.2);
}

// A pause in the stream of blocks becomes silence, so that later sound keeps its time.
TEST(SoundTrack, KeepsTimeAcrossAGap) {
    ScratchFolder folder;
    const auto file = folder.file("gap.mp4");
    OpenWriter open = openWriter(file, videoSettings(64, 48), true);
    ASSERT_TRUE(open.writer);
    ASSERT_TRUE(open.video->append(videoSample(0, solidPixels(64, 48, {0, 0, 0}))));
    for (int i = 0; i < 200; ++i) {
        if (i >= 50 && i < 100) {
            continue;  // nothing from 0.5 s to 1.0 s
        }
        ASSERT_TRUE(open.audio->append(toneSample(i / 100.0, kBlock, 1000.0, int64_t{i} * kBlock)));
    }
    finishWriter(open, 2.0);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const auto sound = MediaProbe(file).decodedSound();
    ASSERT_GE(sound.size(), static_cast<size_t>(kRate * 19 / 10));
    EXPECT_GT(loudness(sound, kRate / 10, kRate * 45 / 100), 0.2);
    EXPECT_LT(loudness(sound, kRate * 55 / 100, kRate * 95 / 100), 0.01);
    EXPECT_GT(loudness(sound, kRate * 105 / 100, kRate * 190 / 100), 0.2);
}

struct EndCase {
    const char* name;
    double soundSeconds;
    double end;
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class SoundTrackEnd : public ::testing::TestWithParam<EndCase> {};

// The sound track spans the session exactly: padded when the sound stopped early, cut when
// its last block ran on past the end (the end is taken after capture stopped, so sound runs on
// by at most a block).
TEST_P(SoundTrackEnd, MatchesTheSession) {
    const EndCase& c = GetParam();
    ScratchFolder folder;
    const auto file = folder.file("end.mp4");
    OpenWriter open = writeTone(file, 0.0, c.soundSeconds, c.end);
    ASSERT_EQ(open.writer->status(), WriterStatus::completed);

    const MediaProbe probe(file);
    const auto soundDuration = probe.streamDuration("audio");
    const auto duration = probe.duration();
    ASSERT_TRUE(soundDuration && duration);
    EXPECT_NEAR(*soundDuration, c.end, 0.025);
    EXPECT_NEAR(*duration, c.end, 1 / 30.0);
}

INSTANTIATE_TEST_SUITE_P(Ends, SoundTrackEnd,
                         ::testing::Values(EndCase{"SoundStopsEarly", 1.0, 2.0},
                                           EndCase{"SoundFillsIt", 2.0, 2.0},
                                           EndCase{"SoundRunsOnABlock", 2.0, 1.99},
                                           EndCase{"SoundStopsVeryEarly", 0.5, 3.0}),
                         [](const ::testing::TestParamInfo<EndCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace vantorel::testing
