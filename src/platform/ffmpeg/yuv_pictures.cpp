#include "platform/ffmpeg/yuv_pictures.h"

#include "platform/ffmpeg/bgra_converter.h"

extern "C" {
#include <libavutil/buffer.h>
}

namespace vantorel {

namespace {
// Rows start on a 64-byte boundary, which every SIMD path of libyuv and x264 reads fastest.
constexpr int kRowAlignment = 64;

int alignUp(int value) {
    return (value + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}
}  // namespace

YuvPictures::YuvPictures(int width, int height) : width_(width), height_(height) {
    const int chromaHeight = (height + 1) / 2;
    linesizes_[0] = alignUp(width);
    linesizes_[1] = alignUp((width + 1) / 2);
    linesizes_[2] = linesizes_[1];
    planeOffsets_[1] = static_cast<size_t>(linesizes_[0]) * height;
    planeOffsets_[2] = planeOffsets_[1] + static_cast<size_t>(linesizes_[1]) * chromaHeight;
    const size_t size = planeOffsets_[2] + static_cast<size_t>(linesizes_[2]) * chromaHeight;
    if (width > 0 && height > 0) {
        pool_.reset(av_buffer_pool_init(size, av_buffer_alloc));
    }
}

FramePtr YuvPictures::make(const VideoFrame& frame) {
    if (!pool_) {
        return nullptr;
    }
    FramePtr picture(av_frame_alloc());
    if (!picture) {
        return nullptr;
    }
    picture->buf[0] = av_buffer_pool_get(pool_.get());
    if (!picture->buf[0]) {
        return nullptr;
    }
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width_;
    picture->height = height_;
    for (int plane = 0; plane < 3; ++plane) {
        picture->data[plane] = picture->buf[0]->data + planeOffsets_[plane];
        picture->linesize[plane] = linesizes_[plane];
    }
    BgraConverter::convert(frame, *picture);
    return picture;
}

}  // namespace vantorel
