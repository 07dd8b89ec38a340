#include "platform/ffmpeg/video_encoder.h"

#include <algorithm>
#include <thread>

#include "platform/ffmpeg/codec_drain.h"
#include "platform/ffmpeg/mp4_muxer.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace vantorel {

namespace {
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr int kLargestSide = 16384;
constexpr unsigned kMostThreads = 4;

// YUV 4:2:0 cannot describe an odd side; the extra column or row repeats the last one.
int evenUp(int side) {
    return (side + 1) & ~1;
}

int threadCount() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads));
}

struct DictionaryDeleter {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryDeleter>;

DictionaryPtr encoderOptions(const VideoTrackSettings& settings) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "ultrafast", 0);
    if (settings.codec == VideoTrackSettings::Codec::h264High) {
        av_dict_set(&options, "profile", "high", 0);
        av_dict_set(&options, "x264-params",
                    settings.cavlc ? "cabac=0:8x8dct=1:bframes=0:sync-lookahead=0"
                                   : "cabac=1:8x8dct=1:bframes=0:sync-lookahead=0",
                    0);
    } else {
        av_dict_set(&options, "x265-params", "log-level=error:bframes=0", 0);
    }
    return DictionaryPtr(options);
}

const AVCodec* findCodec(VideoTrackSettings::Codec codec) {
    return avcodec_find_encoder_by_name(codec == VideoTrackSettings::Codec::h264High ? "libx264"
                                                                                     : "libx265");
}
}  // namespace

VideoEncoder::VideoEncoder(const VideoTrackSettings& settings) : settings_(settings) {}

int VideoEncoder::pictureWidth(const VideoTrackSettings& settings) {
    return evenUp(settings.width);
}

int VideoEncoder::pictureHeight(const VideoTrackSettings& settings) {
    return evenUp(settings.height);
}

int VideoEncoder::open(Mp4Muxer& muxer, int index) {
    const AVCodec* codec = findCodec(settings_.codec);
    if (codec == nullptr) {
        return AVERROR_ENCODER_NOT_FOUND;
    }
    if (settings_.width <= 0 || settings_.height <= 0 || settings_.width > kLargestSide ||
        settings_.height > kLargestSide) {
        return AVERROR(EINVAL);
    }
    if (const int result = configure(*codec, muxer.wantsGlobalHeader()); result < 0) {
        return result;
    }
    last_.reset(av_frame_alloc());
    received_.reset(av_packet_alloc());
    held_.reset(av_packet_alloc());
    if (!last_ || !received_ || !held_) {
        return AVERROR(ENOMEM);
    }
    muxer_ = &muxer;
    index_ = index;
    return muxer.describeStream(index, *codec_);
}

int VideoEncoder::configure(const AVCodec& codec, bool globalHeader) {
    codec_.reset(avcodec_alloc_context3(&codec));
    if (!codec_) {
        return AVERROR(ENOMEM);
    }
    codec_->width = pictureWidth(settings_);
    codec_->height = pictureHeight(settings_);
    codec_->pix_fmt = AV_PIX_FMT_YUV420P;
    codec_->time_base = AVRational{1, kTicksPerSecond};
    if (settings_.frameRate > 0) {
        codec_->framerate = AVRational{settings_.frameRate, 1};
    }
    if (settings_.bitRate > 0) {
        codec_->bit_rate = settings_.bitRate;
    }
    if (settings_.keyFrameInterval > 0) {
        codec_->gop_size = settings_.keyFrameInterval;
    }
    codec_->max_b_frames = 0;
    codec_->thread_count = threadCount();
    // Tell players which conversion made the picture (see BgraConverter).
    codec_->color_range = AVCOL_RANGE_MPEG;
    codec_->colorspace = AVCOL_SPC_SMPTE170M;
    if (globalHeader) {
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    DictionaryPtr options = encoderOptions(settings_);
    AVDictionary* rawOptions = options.release();
    const int result = avcodec_open2(codec_.get(), &codec, &rawOptions);
    options.reset(rawOptions);
    return result;
}

int VideoEncoder::encode(const AVFrame& picture, int64_t offsetNs) {
    int64_t pts = av_rescale(offsetNs, kTicksPerSecond, kNanosecondsPerSecond);
    // A new picture grabbed just before a repeat was timed still shows, a tick after it.
    if (repeated_ && pts >= 0 && pts <= lastPts_) {
        pts = lastPts_ + 1;
    }
    if (finished_ || pts < 0 || pts <= lastPts_) {
        return 0;
    }
    repeated_ = false;
    av_frame_unref(last_.get());
    if (const int result = av_frame_ref(last_.get(), &picture); result < 0) {
        return result;
    }
    last_->pts = pts;
    lastPts_ = pts;
    return send(last_.get());
}

int VideoEncoder::repeatPicture(int64_t laterNs) {
    if (finished_ || lastPts_ < 0) {
        return 0;
    }
    lastPts_ += std::max<int64_t>(av_rescale(laterNs, kTicksPerSecond, kNanosecondsPerSecond), 1);
    last_->pts = lastPts_;
    repeated_ = true;
    return send(last_.get());
}

int VideoEncoder::finish(int64_t endNs) {
    finished_ = true;
    if (const int result = send(nullptr); result < 0 || !holding_) {
        return result;
    }
    return writeHeld(av_rescale(endNs, kTicksPerSecond, kNanosecondsPerSecond) - held_->pts);
}

int VideoEncoder::send(const AVFrame* frame) {
    // Each packet is held until the next one arrives, which gives its duration.
    return sendAndReceive(*codec_, frame, *received_, [this](AVPacket& packet) {
        if (holding_) {
            if (const int result = writeHeld(packet.pts - held_->pts); result < 0) {
                return result;
            }
        }
        av_packet_move_ref(held_.get(), &packet);
        holding_ = true;
        return 0;
    });
}

int VideoEncoder::writeHeld(int64_t duration) {
    held_->duration = std::max<int64_t>(duration, 1);
    holding_ = false;
    return muxer_->write(*held_, codec_->time_base, index_);
}

}  // namespace vantorel
