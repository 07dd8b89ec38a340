#include "writer_harness.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <future>
#include <numbers>
#include <random>

#include "platform/ffmpeg/ffmpeg_writer_factory.h"

namespace vantorel::testing {

namespace {
constexpr int64_t kOriginNs = 7'000'000'000'000;
}  // namespace

MediaTime hostTime(double seconds) {
    return MediaTime::fromNanoseconds(kOriginNs + std::llround(seconds * 1e9));
}

std::shared_ptr<const PixelBuffer> solidPixels(int width, int height, Rgb colour, int rowPadding) {
    auto pixels = std::make_shared<PixelBuffer>();
    pixels->width = width;
    pixels->height = height;
    pixels->bytesPerRow = width * 4 + rowPadding;
    pixels->bytes.assign(static_cast<size_t>(pixels->bytesPerRow) * height, 0xA5);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = pixels->bytes.data() + static_cast<size_t>(y) * pixels->bytesPerRow;
        for (int x = 0; x < width; ++x) {
            row[x * 4 + 0] = colour.b;
            row[x * 4 + 1] = colour.g;
            row[x * 4 + 2] = colour.r;
            row[x * 4 + 3] = 255;
        }
    }
    return pixels;
}

std::shared_ptr<const PixelBuffer> noisePixels(int width, int height, unsigned seed) {
    auto pixels = std::make_shared<PixelBuffer>();
    pixels->width = width;
    pixels->height = height;
    pixels->bytesPerRow = width * 4;
    pixels->bytes.resize(static_cast<size_t>(pixels->bytesPerRow) * height);
    std::minstd_rand random(seed);
    for (auto& byte : pixels->bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return pixels;
}

SampleBufferRef videoSample(double seconds, std::shared_ptr<const PixelBuffer> pixels) {
    return SampleBuffer::makeVideo(hostTime(seconds), std::move(pixels),
                                   std::vector<Attachments>{{{kFrameInfoStatus, int64_t{0}}}});
}

SampleBufferRef toneSample(double seconds, int frames, double frequency, int64_t firstSample,
                           int rate, int channels) {
    auto block = std::make_shared<AudioBlock>();
    block->sampleRate = rate;
    block->channels = channels;
    block->samples.resize(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double phase =
            2 * std::numbers::pi * frequency * static_cast<double>(firstSample + i) / rate;
        for (int c = 0; c < channels; ++c) {
            block->samples[static_cast<size_t>(i) * channels + c] =
                static_cast<float>(0.5 * std::sin(phase));
        }
    }
    return SampleBuffer::makeAudio(hostTime(seconds), std::move(block));
}

VideoOutputSettings videoSettings(int width, int height, int frameRate, VideoCodec codec) {
    VideoOutputSettings settings;
    settings.codec = codec;
    settings.width = width;
    settings.height = height;
    settings.compression.averageBitRate = 2'000'000;
    settings.compression.expectedSourceFrameRate = frameRate;
    settings.compression.maxKeyFrameInterval = 2 * frameRate;
    if (codec == VideoCodec::h264) {
        settings.compression.profileLevel = VideoProfileLevel::h264HighAutoLevel;
    }
    return settings;
}

OpenWriter openWriter(const std::filesystem::path& file, const VideoOutputSettings& video,
                      bool withSound, WriterQueueLengths queues) {
    OpenWriter open;
    FfmpegWriterFactory factory(queues);
    ErrorRef error;
    open.writer = factory.makeWriter(file, error);
    EXPECT_TRUE(open.writer) << (error ? error->textualDescription() : "");
    if (!open.writer) {
        return open;
    }
    open.video = open.writer->makeVideoInput(video);
    open.video->setExpectsMediaDataInRealTime(true);
    EXPECT_TRUE(open.writer->canAddInput(*open.video));
    open.writer->addInput(open.video);
    if (withSound) {
        open.audio = open.writer->makeAudioInput(AudioOutputSettings{});
        open.audio->setExpectsMediaDataInRealTime(true);
        EXPECT_TRUE(open.writer->canAddInput(*open.audio));
        open.writer->addInput(open.audio);
    }
    EXPECT_TRUE(open.writer->startWriting())
        << (open.writer->error() ? open.writer->error()->textualDescription() : "");
    open.writer->startSession(hostTime(0));
    return open;
}

std::string finishWriter(OpenWriter& open, double endSeconds) {
    open.video->markAsFinished();
    if (open.audio) {
        open.audio->markAsFinished();
    }
    open.writer->endSession(hostTime(endSeconds));
    std::promise<std::string> done;
    open.writer->finishWriting([&done] {
        std::array<char, 16> name{};
        pthread_getname_np(pthread_self(), name.data(), name.size());
        done.set_value(name.data());
    });
    return done.get_future().get();
}

ScratchFolder::ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantorel-writer.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch folder");
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace vantorel::testing
