// How fast the writer is on this machine, alone: BGRA to YUV 4:2:0 with libyuv and with
// libswscale, then whole 1920x1080 recordings through the FFmpeg MP4 writer (conversion, x264,
// AAC, muxing), fed all at once (throughput) or at the frame rate through its own short queues
// (what a recording sees: frames refused, CPU per frame, finish time).
//
// Last, the stop of an hour-long recording: how long finishing its file takes.
//
//   vantorel_writer_bench [frames] [minutes]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/ffmpeg/av_handles.h"
#include "platform/ffmpeg/bgra_converter.h"
#include "platform/ffmpeg/ffmpeg_mp4_writer.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

using namespace vantorel;
using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int64_t kOriginNs = 1'000'000'000'000;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// User and system time of every thread of the process so far.
double cpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Something like a desktop: flat areas, lines of text, a block that moves from look to look.
VideoFrame desktopLike(int index) {
    const int stride = kWidth * 4;
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(stride) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = bytes->data() + static_cast<ptrdiff_t>(y) * stride + x * 4;
            const bool text = (y / 14) % 3 == 0 && (x * 7 + y * 3) % 11 < 4 && x > 200 && x < 1700;
            const bool block = x > 100 + index * 40 && x < 500 + index * 40 && y > 300 && y < 700;
            const auto shade = static_cast<uint8_t>(text ? 30 : block ? 200 : 230 - y / 20);
            p[0] = shade;
            p[1] = block ? 90 : shade;
            p[2] = shade;
            p[3] = 255;
        }
    }
    return VideoFrame{0, true, kWidth, kHeight, stride, {bytes, bytes->data()}};
}

void benchConversion(const VideoFrame& look) {
    constexpr int kRounds = 100;
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kWidth;
    frame->height = kHeight;
    av_frame_get_buffer(frame.get(), 0);

    Clock::time_point start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        BgraConverter::convert(look, *frame);
    }
    std::printf("| libyuv BGRA->I420 | %6.2f |\n", millisecondsSince(start) / kRounds);
    for (const auto& [name, flags] :
         {std::pair{"point", SWS_POINT}, std::pair{"fast bilinear", SWS_FAST_BILINEAR},
          std::pair{"bilinear", SWS_BILINEAR}}) {
        SwsContext* context = sws_getContext(kWidth, kHeight, AV_PIX_FMT_BGRA, kWidth, kHeight,
                                             AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr);
        const uint8_t* source[] = {look.pixels.get()};
        const int sourceStride[] = {look.stride};
        start = Clock::now();
        for (int i = 0; i < kRounds; ++i) {
            sws_scale(context, source, sourceStride, 0, kHeight, frame->data, frame->linesize);
        }
        std::printf("| libswscale %s | %6.2f |\n", name, millisecondsSince(start) / kRounds);
        sws_freeContext(context);
    }
}

std::optional<Error> answerOf(const std::function<void(Mp4Writer::Answer)>& ask) {
    std::promise<std::optional<Error>> answered;
    ask([&answered](std::optional<Error> error) { answered.set_value(std::move(error)); });
    return answered.get_future().get();
}

struct Feed {
    int frameRate = 30;
    bool sound = false;
    bool paced = false;  // at the frame rate through the writer's own queues, else all at once
};

// One recording of `frames` frames at the frame rate's spacing, with 10 ms sound blocks when
// asked for.
void benchRecording(int frames, Feed feed, const std::vector<VideoFrame>& looks) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "vantorel-writer-bench.mp4";
    std::filesystem::remove(file);
    const int rate = feed.frameRate;
    Mp4WriterSettings settings{QString::fromStdString(file.string()),
                               {VideoTrackSettings::Codec::h264High, kWidth, kHeight, rate,
                                static_cast<int64_t>(kWidth * kHeight * 0.1 * rate), 2 * rate},
                               feed.sound ? std::optional(SoundTrackSettings{}) : std::nullopt};
    const int blocks = feed.sound ? frames * 100 / rate : 0;
    // Unpaced, the queues take everything: that measures throughput, not dropping.
    const Mp4WriterQueues queues =
        feed.paced ? Mp4WriterQueues{} : Mp4WriterQueues{frames, blocks + 1};
    std::optional<Error> error;
    auto writer = makeFfmpegMp4WriterFactory(queues)(settings, error);
    const Clock::time_point opening = Clock::now();
    if (!writer || (error = answerOf([&](auto answer) { writer->open(std::move(answer)); }))) {
        std::printf("cannot write %s: %s\n", file.c_str(), qPrintable(error->details()));
        return;
    }
    const double openMs = millisecondsSince(opening);
    writer->begin(kOriginNs);

    const double cpuBefore = cpuMilliseconds();
    const Clock::time_point start = Clock::now();
    int refused = 0;
    for (int i = 0, block = 0; i < frames; ++i) {
        const int64_t offsetNs = int64_t{i} * 1'000'000'000 / rate;
        if (feed.paced) {
            std::this_thread::sleep_until(start + std::chrono::nanoseconds(offsetNs));
        }
        VideoFrame frame = looks[static_cast<size_t>(i) % looks.size()];
        frame.timeNs = kOriginNs + offsetNs;
        refused += writer->appendVideo(frame) ? 0 : 1;
        for (; block < blocks && block * 10'000'000LL <= offsetNs; ++block) {
            writer->appendSound(SoundBlock{kOriginNs + block * 10'000'000LL, 48000, 2,
                                           std::vector<float>(960, 0.1f)});
        }
    }
    const Clock::time_point finishing = Clock::now();
    error = answerOf([&](auto answer) {
        writer->finish(kOriginNs + int64_t{frames} * 1'000'000'000 / rate, std::move(answer));
    });
    const double elapsed = millisecondsSince(start);
    const double cpu = cpuMilliseconds() - cpuBefore;
    std::printf(
        "| %d fps%s, %s | %d | %d | %6.1f | %5.2f | %4.2f | %4.0f | %4.0f | %s, %.1f MB |\n", rate,
        feed.sound ? " + sound" : "", feed.paced ? "real time" : "all at once", frames, refused,
        (frames - refused) * 1000.0 / elapsed, cpu / (frames - refused), cpu / elapsed, openMs,
        millisecondsSince(finishing), error ? "failed" : "complete",
        error ? 0.0 : static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    writer.reset();
    std::filesystem::remove(file);
}

// Hands `append` to the writer until it is taken: as fast as the writer goes, with nothing piled
// up in its queues when the feeding ends.
template <typename Append>
void handOver(Append append) {
    while (!append()) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// How long the stop of a long recording takes: the index over an hour of samples is built and
// written then. The picture is small, since the index depends on the number of samples, not on
// their size; the writer takes them as fast as it can.
void benchLongFinish(int minutes) {
    constexpr int kRate = 30;
    constexpr int kSmallWidth = 320;
    constexpr int kSmallHeight = 180;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "vantorel-writer-bench-long.mp4";
    std::filesystem::remove(file);
    Mp4WriterSettings settings{
        QString::fromStdString(file.string()),
        {VideoTrackSettings::Codec::h264High, kSmallWidth, kSmallHeight, kRate, 500'000, 2 * kRate},
        SoundTrackSettings{}};
    std::optional<Error> error;
    auto writer = makeFfmpegMp4WriterFactory()(settings, error);
    if (!writer || (error = answerOf([&](auto answer) { writer->open(std::move(answer)); }))) {
        std::printf("cannot write %s\n", file.c_str());
        return;
    }
    writer->begin(kOriginNs);
    auto bytes = std::make_shared<std::vector<uint8_t>>(size_t{kSmallWidth} * kSmallHeight * 4);
    const int frames = minutes * 60 * kRate;
    for (int i = 0, block = 0; i < frames; ++i) {
        const int64_t offsetNs = int64_t{i} * 1'000'000'000 / kRate;
        (*bytes)[static_cast<size_t>(i) * 4 % bytes->size()] ^= 0xFF;  // every frame differs a bit
        const VideoFrame frame{kOriginNs + offsetNs, true,
                               kSmallWidth,          kSmallHeight,
                               kSmallWidth * 4,      {bytes, bytes->data()}};
        handOver([&] { return writer->appendVideo(frame); });
        for (; block * 10'000'000LL <= offsetNs; ++block) {
            handOver([&] {
                return writer->appendSound(SoundBlock{kOriginNs + block * 10'000'000LL, 48000, 2,
                                                      std::vector<float>(960, 0.1f)});
            });
        }
    }
    const Clock::time_point finishing = Clock::now();
    error = answerOf([&](auto answer) {
        writer->finish(kOriginNs + int64_t{frames} * 1'000'000'000 / kRate, std::move(answer));
    });
    std::printf("| %d min at %d fps + sound, %dx%d | %d | %5.0f | %s, %.1f MB |\n", minutes, kRate,
                kSmallWidth, kSmallHeight, frames, millisecondsSince(finishing),
                error ? "failed" : "complete",
                error ? 0.0 : static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    writer.reset();
    std::filesystem::remove(file);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::stoi(argv[1]) : 300;
    std::vector<VideoFrame> looks;
    for (int i = 0; i < 8; ++i) {
        looks.push_back(desktopLike(i));
    }
    std::printf("| conversion, 1920x1080 | ms/frame |\n|---|---|\n");
    benchConversion(looks.front());
    std::printf(
        "\n| recording 1920x1080 | frames | refused | written/s | CPU ms/frame | cores "
        "| open ms | finish ms | file |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const Feed feed : {Feed{30, false, false}, Feed{60, false, false}, Feed{30, true, false},
                            Feed{30, true, true}, Feed{60, true, true}}) {
        benchRecording(frames, feed, looks);
    }
    std::printf("\n| stop of a long recording | frames | finish ms | file |\n|---|---|---|---|\n");
    benchLongFinish(argc > 2 ? std::stoi(argv[2]) : 60);
    return 0;
}
