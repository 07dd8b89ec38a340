#include "platform/ffmpeg/audio_encoder.h"

#include <algorithm>

#include "platform/ffmpeg/av_error.h"
#include "platform/ffmpeg/codec_drain.h"
#include "platform/ffmpeg/mp4_muxer.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

namespace vantorel {

namespace {
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr int kMostChannels = 8;
// Time-stamp jitter of up to 25 ms is absorbed; see AudioTimeline.
constexpr int64_t kJitterPerSecond = 40;
constexpr int kSilenceChunk = 4096;

bool supportsRate(const AVCodec& codec, int64_t rate) {
    if (codec.supported_samplerates == nullptr) {
        return rate > 0;
    }
    for (const int* supported = codec.supported_samplerates; *supported != 0; ++supported) {
        if (*supported == rate) {
            return true;
        }
    }
    return false;
}
}  // namespace

AudioEncoder::AudioEncoder(const AudioOutputSettings& settings)
    : settings_(settings),
      timeline_(settings.sampleRate > 0 ? settings.sampleRate / kJitterPerSecond : 0) {}

bool AudioEncoder::isUsable() const {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    return codec != nullptr && settings_.formatID == kAudioFormatMPEG4AAC &&
           settings_.numberOfChannels >= 1 && settings_.numberOfChannels <= kMostChannels &&
           settings_.encoderBitRate >= 0 && supportsRate(*codec, settings_.sampleRate);
}

ErrorRef AudioEncoder::open(Mp4Muxer& muxer) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr || !isUsable()) {
        return errorFromAv(AVERROR_ENCODER_NOT_FOUND);
    }
    if (ErrorRef error = configure(*codec, muxer.wantsGlobalHeader())) {
        return error;
    }
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    fifo_.reset(
        av_audio_fifo_alloc(codec_->sample_fmt, codec_->ch_layout.nb_channels, codec_->frame_size));
    if (!frame_ || !packet_ || !fifo_) {
        return errorFromAv(AVERROR(ENOMEM));
    }
    frame_->format = codec_->sample_fmt;
    frame_->sample_rate = codec_->sample_rate;
    frame_->nb_samples = codec_->frame_size;
    if (int result = av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout); result < 0) {
        return errorFromAv(result);
    }
    if (const int result = av_frame_get_buffer(frame_.get(), 0); result < 0) {
        return errorFromAv(result);
    }
    ErrorRef error;
    streamIndex_ = muxer.addStream(*codec_, error);
    muxer_ = &muxer;
    return error;
}

ErrorRef AudioEncoder::configure(const AVCodec& codec, bool globalHeader) {
    codec_.reset(avcodec_alloc_context3(&codec));
    if (!codec_) {
        return errorFromAv(AVERROR(ENOMEM));
    }
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->sample_rate = static_cast<int>(settings_.sampleRate);
    av_channel_layout_default(&codec_->ch_layout, static_cast<int>(settings_.numberOfChannels));
    codec_->bit_rate = settings_.encoderBitRate;
    codec_->time_base = AVRational{1, codec_->sample_rate};
    if (globalHeader) {
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    const int result = avcodec_open2(codec_.get(), &codec, nullptr);
    return result < 0 ? errorFromAv(result) : nullptr;
}

ErrorRef AudioEncoder::encode(SampleBufferRef buffer, int64_t offsetNs) {
    const std::shared_ptr<const AudioBlock> block = buffer ? buffer->audio() : nullptr;
    buffer.reset();
    if (!block || block->frameCount() == 0) {
        return nullptr;
    }
    const int frames = convert(*block);
    if (frames < 0) {
        return errorFromAv(frames);
    }
    const int64_t start = av_rescale(offsetNs, codec_->sample_rate, kNanosecondsPerSecond);
    const AudioTimeline::Placement placement = timeline_.place(start, frames);
    if (ErrorRef error = pushSilence(placement.silence)) {
        return error;
    }
    const int skip = static_cast<int>(placement.skip);
    return pushConverted(skip, frames - skip);
}

ErrorRef AudioEncoder::finish(std::optional<int64_t> endNs) {
    if (endNs) {
        const int64_t target =
            std::max<int64_t>(0, av_rescale(*endNs, codec_->sample_rate, kNanosecondsPerSecond));
        const int64_t excess = timeline_.end() - target;
        if (excess < 0) {
            if (ErrorRef error = pushSilence(-excess)) {
                return error;
            }
        } else if (excess > 0) {
            // Only what is still queued can be cut; sound stamped past the end is rare, since the
            // end is taken after the capture stopped.
            const int queued = av_audio_fifo_size(fifo_.get());
            const int keep = queued - static_cast<int>(std::min<int64_t>(excess, queued));
            for (int done = 0; done < keep;) {
                const int count = std::min(keep - done, codec_->frame_size);
                if (ErrorRef error = encodeFrame(count)) {
                    return error;
                }
                done += count;
            }
            av_audio_fifo_reset(fifo_.get());
        }
    }
    // The last frame may be short.
    while (const int queued = av_audio_fifo_size(fifo_.get())) {
        if (ErrorRef error = encodeFrame(std::min(queued, codec_->frame_size))) {
            return error;
        }
    }
    return send(nullptr);
}

int AudioEncoder::convert(const AudioBlock& block) {
    if (ErrorRef error = prepareResampler(block.sampleRate, block.channels); error) {
        return AVERROR(EINVAL);
    }
    const int inFrames = static_cast<int>(block.frameCount());
    const int capacity = swr_get_out_samples(resampler_.get(), inFrames);
    if (capacity < 0) {
        return capacity;
    }
    std::vector<uint8_t*> out(planes_.size());
    for (size_t channel = 0; channel < planes_.size(); ++channel) {
        planes_[channel].resize(static_cast<size_t>(capacity));
        out[channel] = reinterpret_cast<uint8_t*>(planes_[channel].data());
    }
    const uint8_t* in[] = {reinterpret_cast<const uint8_t*>(block.samples.data())};
    return swr_convert(resampler_.get(), out.data(), capacity, in, inFrames);
}

ErrorRef AudioEncoder::prepareResampler(int rate, int channels) {
    if (resampler_ && rate == resamplerRate_ && channels == resamplerChannels_) {
        return nullptr;
    }
    if (rate <= 0 || channels <= 0 || channels > kMostChannels) {
        return errorFromAv(AVERROR(EINVAL));
    }
    AVChannelLayout inLayout;
    av_channel_layout_default(&inLayout, channels);
    SwrContext* raw = nullptr;
    int result =
        swr_alloc_set_opts2(&raw, &codec_->ch_layout, codec_->sample_fmt, codec_->sample_rate,
                            &inLayout, AV_SAMPLE_FMT_FLT, rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    ResamplerPtr resampler(raw);
    if (result >= 0) {
        result = swr_init(resampler.get());
    }
    if (result < 0) {
        return errorFromAv(result);
    }
    resampler_ = std::move(resampler);
    resamplerRate_ = rate;
    resamplerChannels_ = channels;
    planes_.assign(static_cast<size_t>(codec_->ch_layout.nb_channels), {});
    return nullptr;
}

ErrorRef AudioEncoder::pushSilence(int64_t frames) {
    std::vector<float> zeros(static_cast<size_t>(std::clamp<int64_t>(frames, 0, kSilenceChunk)),
                             0.0f);
    std::vector<void*> in(static_cast<size_t>(codec_->ch_layout.nb_channels), zeros.data());
    while (frames > 0) {
        const int count = static_cast<int>(std::min<int64_t>(frames, kSilenceChunk));
        if (const int result = av_audio_fifo_write(fifo_.get(), in.data(), count); result < 0) {
            return errorFromAv(result);
        }
        frames -= count;
        if (ErrorRef error = encodeWholeFrames()) {
            return error;
        }
    }
    return nullptr;
}

ErrorRef AudioEncoder::pushConverted(int offset, int frames) {
    if (frames <= 0) {
        return nullptr;
    }
    std::vector<void*> in(planes_.size());
    for (size_t channel = 0; channel < planes_.size(); ++channel) {
        in[channel] = planes_[channel].data() + offset;
    }
    if (const int result = av_audio_fifo_write(fifo_.get(), in.data(), frames); result < 0) {
        return errorFromAv(result);
    }
    return encodeWholeFrames();
}

ErrorRef AudioEncoder::encodeWholeFrames() {
    while (av_audio_fifo_size(fifo_.get()) >= codec_->frame_size) {
        if (ErrorRef error = encodeFrame(codec_->frame_size)) {
            return error;
        }
    }
    return nullptr;
}

ErrorRef AudioEncoder::encodeFrame(int frames) {
    // Writable at full size: a short last frame must not shrink the buffers for later ones.
    frame_->nb_samples = codec_->frame_size;
    if (const int result = av_frame_make_writable(frame_.get()); result < 0) {
        return errorFromAv(result);
    }
    frame_->nb_samples = frames;
    const int read =
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frames);
    if (read < 0) {
        return errorFromAv(read);
    }
    frame_->pts = encoded_;
    encoded_ += read;
    return send(frame_.get());
}

ErrorRef AudioEncoder::send(const AVFrame* frame) {
    return sendAndReceive(*codec_, frame, *packet_, [this](AVPacket& packet) {
        return muxer_->write(packet, codec_->time_base, streamIndex_);
    });
}

}  // namespace vantorel
