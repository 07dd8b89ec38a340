// The FFmpeg MP4 writer on real files, checked with ffprobe and by decoding them.
#include "platform/ffmpeg/ffmpeg_mp4_writer.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <array>
#include <csignal>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "media_probe.h"
#include "scratch_folder.h"
#include "tone_analysis.h"

namespace vantorel::testing {
namespace {

using Codec = VideoTrackSettings::Codec;
using Rgb = std::array<uint8_t, 3>;
constexpr int64_t kOriginNs = 7'000'000'000'000;  // capture stamps are far from zero
constexpr int kRate = 48000;

int64_t at(double seconds) {
    return kOriginNs + std::llround(seconds * 1e9);
}

// BGRA of one colour, or noise that no encoder can squeeze; row padding holds garbage.
VideoFrame picture(double seconds, int width, int height, Rgb colour, bool noise = false) {
    const int stride = width * 4 + 16;
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(stride) * height, 0xA5);
    std::minstd_rand random(static_cast<unsigned>(seconds * 1000));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto [r, g, b] = noise ? Rgb{uint8_t(random()), uint8_t(random()), 9} : colour;
            uint8_t* pixel = bytes->data() + static_cast<ptrdiff_t>(y) * stride + x * 4;
            pixel[0] = b, pixel[1] = g, pixel[2] = r, pixel[3] = 255;
        }
    }
    return VideoFrame{at(seconds), true, width, height, stride, {bytes, bytes->data()}};
}

// A 1 kHz sine of amplitude 0.5 on every channel, its phase following the stamp.
SoundBlock tone(double seconds, int frames, int rate = kRate, int channels = 2) {
    SoundBlock block{at(seconds), rate, channels, std::vector<float>(size_t(frames) * channels)};
    const int64_t first = std::llround(seconds * rate);
    for (size_t i = 0; i < block.samples.size(); ++i) {
        const double t = static_cast<double>(first + static_cast<int64_t>(i) / channels) / rate;
        block.samples[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000 * t));
    }
    return block;
}

Mp4WriterSettings settingsFor(const std::filesystem::path& file, Codec codec, int width, int height,
                              bool sound = false) {
    return {QString::fromStdString(file.string()),
            {codec, width, height, 30, 2'000'000, 30},
            sound ? std::optional(SoundTrackSettings{}) : std::nullopt};
}

std::optional<Error> answerOf(const std::function<void(Mp4Writer::Answer)>& ask) {
    std::promise<std::optional<Error>> answered;
    ask([&answered](std::optional<Error> error) { answered.set_value(std::move(error)); });
    return answered.get_future().get();
}

// Made, opened and begun at at(0); queues long enough that no test append is refused.
std::unique_ptr<Mp4Writer> openWriter(const Mp4WriterSettings& settings,
                                      Mp4WriterQueues queues = {1000, 1000}) {
    std::optional<Error> error;
    std::unique_ptr<Mp4Writer> writer = makeFfmpegMp4WriterFactory(queues)(settings, error);
    if (writer) {
        error = answerOf([&](Mp4Writer::Answer answer) { writer->open(std::move(answer)); });
        writer->begin(at(0));
    }
    EXPECT_FALSE(error) << error->details().toStdString();
    return error ? nullptr : std::move(writer);
}

std::optional<Error> finish(Mp4Writer& writer, double end) {
    return answerOf([&](Mp4Writer::Answer answer) { writer.finish(at(end), std::move(answer)); });
}

// Frames of known colours at irregular times, a key frame asked for every 4 frames.
TEST(Mp4Writer, VideoHasTheSizeKeyFramesAndEachFramesColourAtItsOwnTime) {
    struct {
        Codec codec;
        bool cavlc;
        int width, height;
        const char *codecName, *profile;
    } const cases[] = {{Codec::h264High, false, 640, 360, "h264", "High"},
                       {Codec::h264High, true, 640, 360, "h264", "High"},
                       {Codec::hevc, false, 4352, 64, "hevc", "Main"}};
    const std::vector<double> times = {0, 0.1, 0.35, 0.4, 0.45, 0.5, 1.25, 1.3, 1.35, 2.0, 2.001};
    const Rgb colours[] = {{255, 0, 0}, {0, 255, 0},   {0, 0, 255},  {255, 255, 255},
                           {0, 0, 0},   {255, 255, 0}, {0, 128, 255}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codecName) + (c.cavlc ? " CAVLC" : ""));
        ScratchFolder folder;
        Mp4WriterSettings settings = settingsFor(folder.file("v.mp4"), c.codec, c.width, c.height);
        settings.video.keyFrameInterval = 4;
        settings.video.cavlc = c.cavlc;
        auto writer = openWriter(settings);
        ASSERT_TRUE(writer);
        for (size_t i = 0; i < times.size(); ++i) {
            ASSERT_TRUE(writer->appendVideo(picture(times[i], c.width, c.height, colours[i % 7])));
        }
        ASSERT_FALSE(finish(*writer, 2.5));
        const MediaProbe probe(folder.file("v.mp4"));
        const auto video = probe.streams("video");
        ASSERT_EQ(video.size(), 1u);
        EXPECT_EQ(video[0].at("codec_name") + " " + video[0].at("profile"),
                  std::string(c.codecName) + " " + c.profile);
        EXPECT_EQ(video[0].at("width") + "x" + video[0].at("height"),
                  std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_NEAR(probe.duration().value_or(0), 2.5, 0.001);
        if (c.codec == Codec::h264High) {
            // x264 writes the options it encoded with into the stream.
            std::ifstream file(folder.file("v.mp4"), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            EXPECT_NE(bytes.find(c.cavlc ? "cabac=0" : "cabac=1"), std::string::npos);
        }
        const auto packets = probe.videoPackets();
        const auto frames = probe.decodedFrames();
        ASSERT_EQ(packets.size(), times.size());
        ASSERT_EQ(frames.size(), times.size());
        for (size_t i = 0, sinceKey = 0; i < times.size(); ++i) {
            SCOPED_TRACE(i);
            sinceKey = packets[i].key ? 0 : sinceKey + 1;
            EXPECT_LT(sinceKey, i == 0 ? 1u : 4u);
            EXPECT_NEAR(packets[i].time, times[i], 0.0001);
            for (size_t k = 0; k < 3; ++k) {
                EXPECT_NEAR(frames[i][(c.height / 2 * c.width + c.width / 2) * 3 + k],
                            colours[i % 7][k], 8);
            }
        }
    }
}

// A still picture at 0, and the tone in 10 ms blocks from its start to the end at 2 s.
TEST(Mp4Writer, SoundIsAac48kStereoWithTheToneAtItsTimeFromThePicturesStart) {
    struct {
        int rate, channels, toneFromHundredths;
    } const cases[] = {{48000, 2, 0}, {44100, 1, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        ScratchFolder folder;
        auto writer = openWriter(settingsFor(folder.file("s.mp4"), Codec::h264High, 64, 48, true));
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->appendVideo(picture(0, 64, 48, {})));
        for (int i = c.toneFromHundredths; i < 200; ++i) {
            ASSERT_TRUE(writer->appendSound(tone(i / 100.0, c.rate / 100, c.rate, c.channels)));
        }
        ASSERT_FALSE(finish(*writer, 2.0));
        const MediaProbe probe(folder.file("s.mp4"));
        const auto audio = probe.streams("audio");
        ASSERT_EQ(audio.size(), 1u);
        EXPECT_EQ(audio[0].at("codec_name") + " " + audio[0].at("sample_rate") + " " +
                      audio[0].at("channels"),
                  "aac 48000 2");
        if (c.toneFromHundredths == 0) {  // silence takes fewer bits
            EXPECT_NEAR(std::stod(audio[0].at("bit_rate")), 128000, 20000);
        }
        EXPECT_EQ(audio[0].at("start_time"), probe.streams("video").at(0).at("start_time"));
        EXPECT_NEAR(std::stod(audio[0].at("duration")), 2.0, 0.001);
        const auto sound = probe.decodedSound();
        ASSERT_GE(sound.size(), size_t{kRate * 195 / 100});
        // The tone's 5th sample is its first above 0.2: it plays where it was given, to the
        // codec's smear of a sample or two, with the encoder's priming skipped.
        const size_t from = size_t(c.toneFromHundredths) * kRate / 100, margin = kRate / 50;
        EXPECT_NEAR(double(firstLouderThan(sound, 0.2f)), double(from + 4), 3);
        EXPECT_GT(loudness(sound, from + margin, from + kRate / 2), 0.3);
        EXPECT_EQ(strongestFrequency(sound, from + margin, from + kRate / 2, kRate), 1000);
    }
}

// The file system fills up (a 1 MiB tmpfs), or files may not grow past 256 KiB.
TEST(Mp4Writer, AWriteErrorFailsItWithTheSystemsMessageAndRemovesTheFile) {
    std::signal(SIGXFSZ, SIG_IGN);  // or the kernel ends the process instead of failing the write
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const rlimit limited{1024 * 1024, unlimited.rlim_max};
    for (const std::string detail : {"No space left on device", "File too large"}) {
        SCOPED_TRACE(detail);
        ScratchFolder folder;
        ASSERT_EQ(detail == "File too large"
                      ? setrlimit(RLIMIT_FSIZE, &limited)
                      : mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=1m"),
                  0);
        Mp4WriterSettings settings = settingsFor(folder.file("f.mp4"), Codec::h264High, 320, 240);
        settings.video.bitRate = 40'000'000;
        auto writer = openWriter(settings);
        ASSERT_TRUE(writer);
        for (int i = 0; i < 60; ++i) {
            writer->appendVideo(picture(i / 30.0, 320, 240, {}, true));
        }
        for (int waits = 0; waits < 1000 && !writer->failure(); ++waits) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const std::optional<Error> failure = writer->failure();
        EXPECT_FALSE(writer->appendVideo(picture(2.1, 320, 240, {})));
        EXPECT_EQ(finish(*writer, 2.2), failure);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        umount2(folder.path().c_str(), MNT_DETACH);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind, Error::Kind::writerFailed);
        EXPECT_EQ(failure->detail.toStdString(), detail);
        EXPECT_FALSE(std::filesystem::exists(folder.file("f.mp4")));
    }
}

TEST(Mp4Writer, CreationRefusesAnythingAlreadyAtThePathAndLeavesItAlone) {
    ScratchFolder folder;
    std::ofstream(folder.file("taken.mp4")) << "someone else's";
    for (const std::filesystem::path& path :
         {folder.file("taken.mp4"), std::filesystem::path("/dev/full")}) {
        std::optional<Error> error;
        EXPECT_FALSE(
            makeFfmpegMp4WriterFactory()(settingsFor(path, Codec::h264High, 64, 48), error));
        ASSERT_TRUE(error) << path;
        EXPECT_EQ(error->kind, Error::Kind::cannotWrite);
        EXPECT_EQ(error->detail.toStdString(), "File exists");
    }
    std::string content;
    std::getline(std::ifstream(folder.file("taken.mp4")), content);
    EXPECT_EQ(content, "someone else's");
    struct stat device {};
    EXPECT_TRUE(stat("/dev/full", &device) == 0 && S_ISCHR(device.st_mode));
}

// Cancelled, or destroyed unfinished; the last after another file took the path meanwhile.
TEST(Mp4Writer, UnfinishedDropsWhatIsQueuedAndRemovesOnlyItsOwnFile) {
    struct {
        bool destroyed, replaced;
    } const cases[] = {{false, false}, {true, false}, {false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.destroyed << c.replaced);
        ScratchFolder folder;
        const auto file = folder.file("u.mp4");
        auto writer = openWriter(settingsFor(file, Codec::h264High, 1280, 720, true));
        ASSERT_TRUE(writer);
        VideoFrame frame = picture(0, 1280, 720, {}, true);
        for (int i = 0; i < 30; ++i, frame.timeNs = at(i / 30.0)) {
            ASSERT_TRUE(writer->appendVideo(frame) && writer->appendSound(tone(i / 30.0, 1600)));
        }
        if (c.replaced) {
            std::filesystem::rename(file, folder.file("moved.mp4"));
            std::ofstream(file) << "someone else's";
        }
        c.destroyed ? writer.reset() : writer->cancel();
        EXPECT_EQ(frame.pixels.use_count(), 1);
        EXPECT_EQ(std::filesystem::exists(file), c.replaced);
    }
}

// Appends return at once: refused while the encoder is behind, never waiting for it.
TEST(Mp4Writer, AppendsLetGoOfTheCapturedPixelsAndAreRefusedWhileTheQueuesAreFull) {
    ScratchFolder folder;
    auto writer =
        openWriter(settingsFor(folder.file("q.mp4"), Codec::h264High, 1920, 1080, true), {2, 2});
    ASSERT_TRUE(writer);
    VideoFrame frame = picture(0, 1920, 1080, {40, 80, 120});
    SoundBlock second = tone(0, kRate);
    int taken = 0, refused = 0, soundRefused = 0;
    for (int i = 0; i < 20; ++i, frame.timeNs = at(i / 30.0), second.timeNs = at(i)) {
        writer->appendVideo(frame) ? ++taken : ++refused;
        soundRefused += writer->appendSound(second) ? 0 : 1;
        // Queued or not, the capture has its buffer back at once: it keeps only one or two.
        EXPECT_EQ(frame.pixels.use_count(), 1);
    }
    EXPECT_TRUE(taken >= 2 && refused > 0 && soundRefused > 0)
        << taken << " taken, " << refused << " refused, " << soundRefused << " blocks refused";
    ASSERT_FALSE(finish(*writer, 1.0));
    EXPECT_EQ(MediaProbe(folder.file("q.mp4")).videoPackets().size(), size_t(taken));
}

}  // namespace
}  // namespace vantorel::testing
