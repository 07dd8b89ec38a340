#include "platform/ffmpeg/bgra_converter.h"

#include <libyuv/convert_from_argb.h>

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/frame.h>
}

namespace vantorel {

namespace {
constexpr int kBytesPerPixel = 4;

int halfUp(int value) {
    return (value + 1) / 2;
}
}  // namespace

void BgraConverter::convert(const VideoFrame& source, AVFrame& frame) {
    const int width = std::min(source.width, frame.width);
    const int height = std::min(source.height, frame.height);
    if (width <= 0 || height <= 0 || !source.pixels || source.stride < width * kBytesPerPixel) {
        // Nothing usable: a black picture rather than garbage from the last frame.
        std::memset(frame.data[0], 16, static_cast<size_t>(frame.linesize[0]) * frame.height);
        std::memset(frame.data[1], 128,
                    static_cast<size_t>(frame.linesize[1]) * halfUp(frame.height));
        std::memset(frame.data[2], 128,
                    static_cast<size_t>(frame.linesize[2]) * halfUp(frame.height));
        return;
    }
    // libyuv's "ARGB" is a little-endian word, that is B, G, R, A in memory: our BGRA.
    libyuv::ARGBToI420(source.pixels.get(), source.stride, frame.data[0], frame.linesize[0],
                       frame.data[1], frame.linesize[1], frame.data[2], frame.linesize[2], width,
                       height);
    if (width < frame.width) {
        extendRight(frame, width, height);
    }
    if (height < frame.height) {
        extendDown(frame, height);
    }
}

void BgraConverter::extendRight(AVFrame& frame, int fromColumn, int rows) {
    const auto fill = [](uint8_t* plane, int stride, int from, int to, int count) {
        for (int row = 0; row < count; ++row) {
            uint8_t* line = plane + static_cast<ptrdiff_t>(row) * stride;
            std::memset(line + from, line[from - 1], static_cast<size_t>(to - from));
        }
    };
    fill(frame.data[0], frame.linesize[0], fromColumn, frame.width, rows);
    const int chromaFrom = halfUp(fromColumn);
    const int chromaTo = halfUp(frame.width);
    if (chromaFrom < chromaTo) {
        fill(frame.data[1], frame.linesize[1], chromaFrom, chromaTo, halfUp(rows));
        fill(frame.data[2], frame.linesize[2], chromaFrom, chromaTo, halfUp(rows));
    }
}

void BgraConverter::extendDown(AVFrame& frame, int fromRow) {
    const auto fill = [](uint8_t* plane, int stride, int from, int to) {
        const uint8_t* last = plane + static_cast<ptrdiff_t>(from - 1) * stride;
        for (int row = from; row < to; ++row) {
            std::memcpy(plane + static_cast<ptrdiff_t>(row) * stride, last,
                        static_cast<size_t>(stride));
        }
    };
    fill(frame.data[0], frame.linesize[0], fromRow, frame.height);
    fill(frame.data[1], frame.linesize[1], halfUp(fromRow), halfUp(frame.height));
    fill(frame.data[2], frame.linesize[2], halfUp(fromRow), halfUp(frame.height));
}

}  // namespace vantorel
