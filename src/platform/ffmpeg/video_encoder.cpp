#include "platform/ffmpeg/video_encoder.h"

#include <algorithm>
#include <thread>

#include "platform/ffmpeg/av_error.h"
#include "platform/ffmpeg/bgra_converter.h"
#include "platform/ffmpeg/codec_drain.h"
#include "platform/ffmpeg/mp4_muxer.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace vantorel {

namespace {
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr int64_t kLargestSide = 16384;
constexpr int64_t kFallbackFrameRate = 30;
constexpr unsigned kMostThreads = 4;

// YUV 4:2:0 cannot describe an odd side; the extra column or row repeats the last one.
int evenUp(int64_t side) {
    return static_cast<int>((side + 1) & ~int64_t{1});
}

int threadCount() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads));
}

struct DictionaryDeleter {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryDeleter>;

DictionaryPtr encoderOptions(VideoCodec codec) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "ultrafast", 0);
    if (codec == VideoCodec::h264) {
        av_dict_set(&options, "profile", "high", 0);
        av_dict_set(&options, "x264-params", "cabac=1:8x8dct=1:bframes=0", 0);
    } else {
        av_dict_set(&options, "x265-params", "log-level=error:bframes=0", 0);
    }
    return DictionaryPtr(options);
}
}  // namespace

VideoEncoder::VideoEncoder(const VideoOutputSettings& settings) : settings_(settings) {}

const AVCodec* VideoEncoder::findCodec() const {
    return avcodec_find_encoder_by_name(settings_.codec == VideoCodec::h264 ? "libx264"
                                                                            : "libx265");
}

bool VideoEncoder::isUsable() const {
    return findCodec() != nullptr && settings_.width > 0 && settings_.height > 0 &&
           settings_.width <= kLargestSide && settings_.height <= kLargestSide &&
           settings_.compression.averageBitRate >= 0 &&
           settings_.compression.maxKeyFrameInterval >= 0;
}

ErrorRef VideoEncoder::open(Mp4Muxer& muxer) {
    const AVCodec* codec = findCodec();
    if (codec == nullptr || !isUsable()) {
        return errorFromAv(AVERROR_ENCODER_NOT_FOUND);
    }
    if (ErrorRef error = configure(*codec, muxer.wantsGlobalHeader())) {
        return error;
    }
    frame_.reset(av_frame_alloc());
    received_.reset(av_packet_alloc());
    held_.reset(av_packet_alloc());
    if (!frame_ || !received_ || !held_) {
        return errorFromAv(AVERROR(ENOMEM));
    }
    frame_->format = codec_->pix_fmt;
    frame_->width = codec_->width;
    frame_->height = codec_->height;
    if (const int result = av_frame_get_buffer(frame_.get(), 0); result < 0) {
        return errorFromAv(result);
    }
    ErrorRef error;
    streamIndex_ = muxer.addStream(*codec_, error);
    muxer_ = &muxer;
    return error;
}

ErrorRef VideoEncoder::configure(const AVCodec& codec, bool globalHeader) {
    codec_.reset(avcodec_alloc_context3(&codec));
    if (!codec_) {
        return errorFromAv(AVERROR(ENOMEM));
    }
    const VideoCompressionProperties& compression = settings_.compression;
    codec_->width = evenUp(settings_.width);
    codec_->height = evenUp(settings_.height);
    codec_->pix_fmt = AV_PIX_FMT_YUV420P;
    codec_->time_base = AVRational{1, kTicksPerSecond};
    if (compression.expectedSourceFrameRate > 0) {
        codec_->framerate = AVRational{static_cast<int>(compression.expectedSourceFrameRate), 1};
    }
    if (compression.averageBitRate > 0) {
        codec_->bit_rate = compression.averageBitRate;
    }
    if (compression.maxKeyFrameInterval > 0) {
        codec_->gop_size = static_cast<int>(compression.maxKeyFrameInterval);
    }
    codec_->max_b_frames = 0;
    codec_->thread_count = threadCount();
    // Tell players which conversion made the picture (see BgraConverter).
    codec_->color_range = AVCOL_RANGE_MPEG;
    codec_->colorspace = AVCOL_SPC_SMPTE170M;
    if (globalHeader) {
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    DictionaryPtr options = encoderOptions(settings_.codec);
    AVDictionary* rawOptions = options.release();
    const int result = avcodec_open2(codec_.get(), &codec, &rawOptions);
    options.reset(rawOptions);
    return result < 0 ? errorFromAv(result) : nullptr;
}

ErrorRef VideoEncoder::encode(SampleBufferRef buffer, int64_t offsetNs) {
    std::shared_ptr<const PixelBuffer> pixels = buffer ? buffer->pixels() : nullptr;
    buffer.reset();
    const int64_t pts = av_rescale(offsetNs, kTicksPerSecond, kNanosecondsPerSecond);
    // A frame from before the session, or not after the last one, has no place on the timeline.
    if (!pixels || pts < 0 || pts <= lastPts_) {
        return nullptr;
    }
    if (const int result = av_frame_make_writable(frame_.get()); result < 0) {
        return errorFromAv(result);
    }
    BgraConverter::convert(*pixels, *frame_);
    pixels.reset();  // gives the capture pool its slot back before the slow part
    frame_->pts = pts;
    lastPts_ = pts;
    return send(frame_.get());
}

ErrorRef VideoEncoder::finish(std::optional<int64_t> endNs) {
    if (ErrorRef error = send(nullptr)) {
        return error;
    }
    if (!holding_) {
        return nullptr;
    }
    const int64_t fps = settings_.compression.expectedSourceFrameRate > 0
                            ? settings_.compression.expectedSourceFrameRate
                            : kFallbackFrameRate;
    const int64_t end = endNs ? av_rescale(*endNs, kTicksPerSecond, kNanosecondsPerSecond)
                              : held_->pts + kTicksPerSecond / fps;
    return writeHeld(end - held_->pts);
}

ErrorRef VideoEncoder::send(const AVFrame* frame) {
    // Each packet is held until the next one arrives, which gives its duration.
    return sendAndReceive(*codec_, frame, *received_, [this](AVPacket& packet) -> ErrorRef {
        if (holding_) {
            if (ErrorRef error = writeHeld(packet.pts - held_->pts)) {
                return error;
            }
        }
        av_packet_move_ref(held_.get(), &packet);
        holding_ = true;
        return nullptr;
    });
}

ErrorRef VideoEncoder::writeHeld(int64_t duration) {
    held_->duration = std::max<int64_t>(duration, 1);
    holding_ = false;
    return muxer_->write(*held_, codec_->time_base, streamIndex_);
}

}  // namespace vantorel
