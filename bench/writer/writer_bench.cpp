// How fast the writer's pieces are on this machine: BGRA to YUV 4:2:0 with libyuv and with
// libswscale, and whole 1920x1080 recordings through the writer (conversion, x264, muxing).
//
//   writer_bench [frames]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "platform/ffmpeg/av_handles.h"
#include "platform/ffmpeg/bgra_converter.h"
#include "platform/ffmpeg/ffmpeg_writer_factory.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Something like a desktop: flat areas, a few edges, a block that moves from frame to frame.
std::shared_ptr<const vantorel::PixelBuffer> desktopLike(int index) {
    auto pixels = std::make_shared<vantorel::PixelBuffer>();
    pixels->width = kWidth;
    pixels->height = kHeight;
    pixels->bytesPerRow = kWidth * 4;
    pixels->bytes.resize(static_cast<size_t>(pixels->bytesPerRow) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = pixels->bytes.data() + y * pixels->bytesPerRow + x * 4;
            const bool text = (y / 14) % 3 == 0 && (x * 7 + y * 3) % 11 < 4 && x > 200 && x < 1700;
            const bool block = x > 100 + index * 40 && x < 500 + index * 40 && y > 300 && y < 700;
            const uint8_t shade = text ? 30 : block ? 200 : static_cast<uint8_t>(230 - y / 20);
            p[0] = shade;
            p[1] = block ? 90 : shade;
            p[2] = shade;
            p[3] = 255;
        }
    }
    return pixels;
}

void benchConversion(const vantorel::PixelBuffer& pixels) {
    constexpr int kRounds = 100;
    vantorel::FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kWidth;
    frame->height = kHeight;
    av_frame_get_buffer(frame.get(), 0);

    Clock::time_point start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        vantorel::BgraConverter::convert(pixels, *frame);
    }
    std::printf("libyuv BGRA->I420 1920x1080:          %6.2f ms/frame\n",
                millisecondsSince(start) / kRounds);

    for (const auto& [name, flags] :
         {std::pair{"point", SWS_POINT}, std::pair{"fast bilinear", SWS_FAST_BILINEAR},
          std::pair{"bilinear", SWS_BILINEAR}}) {
        SwsContext* context = sws_getContext(kWidth, kHeight, AV_PIX_FMT_BGRA, kWidth, kHeight,
                                             AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr);
        const uint8_t* source[] = {pixels.bytes.data()};
        const int sourceStride[] = {pixels.bytesPerRow};
        start = Clock::now();
        for (int i = 0; i < kRounds; ++i) {
            sws_scale(context, source, sourceStride, 0, kHeight, frame->data, frame->linesize);
        }
        std::printf("libswscale (%-13s) 1920x1080: %6.2f ms/frame\n", name,
                    millisecondsSince(start) / kRounds);
        sws_freeContext(context);
    }
}

void benchRecording(int frames, int frameRate,
                    const std::vector<std::shared_ptr<const vantorel::PixelBuffer>>& looks) {
    using namespace vantorel;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "vantorel-writer-bench.mp4";
    // Queues long enough to take every frame: this measures throughput, not dropping.
    FfmpegWriterFactory factory(WriterQueueLengths{frames, frames});
    ErrorRef error;
    auto writer = factory.makeWriter(file, error);
    if (!writer) {
        std::printf("cannot write %s: %s\n", file.c_str(), error->localizedDescription().c_str());
        return;
    }
    VideoOutputSettings settings;
    settings.width = kWidth;
    settings.height = kHeight;
    settings.compression.averageBitRate = static_cast<int64_t>(kWidth * kHeight * 0.1 * frameRate);
    settings.compression.expectedSourceFrameRate = frameRate;
    settings.compression.maxKeyFrameInterval = 2 * frameRate;
    auto video = writer->makeVideoInput(settings);
    writer->addInput(video);
    writer->startWriting();
    const MediaTime origin = MediaTime::fromNanoseconds(1'000'000'000'000);
    writer->startSession(origin);

    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        const MediaTime at =
            MediaTime::fromNanoseconds(origin.value + int64_t{i} * 1'000'000'000 / frameRate);
        video->append(SampleBuffer::makeVideo(at, looks[static_cast<size_t>(i) % looks.size()],
                                              std::nullopt));
    }
    video->markAsFinished();
    writer->endSession(
        MediaTime::fromNanoseconds(origin.value + int64_t{frames} * 1'000'000'000 / frameRate));
    std::promise<void> done;
    writer->finishWriting([&done] { done.set_value(); });
    done.get_future().wait();
    const double elapsed = millisecondsSince(start);
    std::printf("recording 1920x1080 at %d fps settings, %d frames: %6.1f frames/s (%s, %.1f MB)\n",
                frameRate, frames, frames * 1000.0 / elapsed,
                writer->status() == WriterStatus::completed ? "completed" : "failed",
                static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    std::filesystem::remove(file);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::stoi(argv[1]) : 300;
    std::vector<std::shared_ptr<const vantorel::PixelBuffer>> looks;
    for (int i = 0; i < 8; ++i) {
        looks.push_back(desktopLike(i));
    }
    benchConversion(*looks.front());
    benchRecording(frames, 30, looks);
    benchRecording(frames, 60, looks);
    return 0;
}
