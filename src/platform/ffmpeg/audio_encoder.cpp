#include "platform/ffmpeg/audio_encoder.h"

#include <algorithm>

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
constexpr int kSilenceChunk = 4096;

bool supportsRate(const AVCodec& codec, int rate) {
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

AudioEncoder::AudioEncoder(const SoundTrackSettings& settings)
    : settings_(settings), timeline_(AudioTimeline::forSampleRate(settings.sampleRate)) {}

int AudioEncoder::open(Mp4Muxer& muxer, int index) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        return AVERROR_ENCODER_NOT_FOUND;
    }
    if (settings_.channels < 1 || settings_.channels > kMostChannels ||
        !supportsRate(*codec, settings_.sampleRate)) {
        return AVERROR(EINVAL);
    }
    if (const int result = configure(*codec, muxer.wantsGlobalHeader()); result < 0) {
        return result;
    }
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    fifo_.reset(
        av_audio_fifo_alloc(codec_->sample_fmt, codec_->ch_layout.nb_channels, codec_->frame_size));
    if (!frame_ || !packet_ || !fifo_) {
        return AVERROR(ENOMEM);
    }
    frame_->format = codec_->sample_fmt;
    frame_->sample_rate = codec_->sample_rate;
    frame_->nb_samples = codec_->frame_size;
    if (const int result = av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout);
        result < 0) {
        return result;
    }
    if (const int result = av_frame_get_buffer(frame_.get(), 0); result < 0) {
        return result;
    }
    muxer_ = &muxer;
    index_ = index;
    return muxer.describeStream(index, *codec_);
}

int AudioEncoder::configure(const AVCodec& codec, bool globalHeader) {
    codec_.reset(avcodec_alloc_context3(&codec));
    if (!codec_) {
        return AVERROR(ENOMEM);
    }
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->sample_rate = settings_.sampleRate;
    av_channel_layout_default(&codec_->ch_layout, settings_.channels);
    codec_->bit_rate = settings_.bitRate;
    codec_->time_base = AVRational{1, codec_->sample_rate};
    if (globalHeader) {
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    return avcodec_open2(codec_.get(), &codec, nullptr);
}

int AudioEncoder::encode(const SoundBlock& block, int64_t offsetNs) {
    if (finished_ || block.frameCount() == 0) {
        return 0;
    }
    const int frames = convert(block);
    if (frames < 0) {
        return frames;
    }
    const int64_t start = av_rescale(offsetNs, codec_->sample_rate, kNanosecondsPerSecond);
    const AudioTimeline::Placement placement = timeline_.place(start, frames);
    if (const int result = pushSilence(placement.silence); result < 0) {
        return result;
    }
    if (placement.repeat) {
        if (const int result = pushConverted(0, 1); result < 0) {
            return result;
        }
    }
    const int skip = static_cast<int>(placement.skip);
    return pushConverted(skip, frames - skip);
}

int AudioEncoder::finish(int64_t endNs) {
    finished_ = true;
    const int64_t target =
        std::max<int64_t>(0, av_rescale(endNs, codec_->sample_rate, kNanosecondsPerSecond));
    const int64_t excess = timeline_.end() - target;
    if (excess < 0) {
        if (const int result = pushSilence(-excess); result < 0) {
            return result;
        }
    } else if (excess > 0) {
        // Only what is still queued can be cut; sound stamped past the end is rare, since the
        // end is taken after the capture stopped.
        const int queued = av_audio_fifo_size(fifo_.get());
        if (const int result =
                encodeQueued(queued - static_cast<int>(std::min<int64_t>(excess, queued)));
            result < 0) {
            return result;
        }
        av_audio_fifo_reset(fifo_.get());
    }
    if (const int result = encodeQueued(av_audio_fifo_size(fifo_.get())); result < 0) {
        return result;
    }
    return send(nullptr);
}

int AudioEncoder::encodeQueued(int frames) {
    // The last frame may be short.
    for (int done = 0; done < frames;) {
        const int count = std::min(frames - done, codec_->frame_size);
        if (const int result = encodeFrame(count); result < 0) {
            return result;
        }
        done += count;
    }
    return 0;
}

int AudioEncoder::convert(const SoundBlock& block) {
    if (const int result = prepareResampler(block.sampleRate, block.channels); result < 0) {
        return result;
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

int AudioEncoder::prepareResampler(int rate, int channels) {
    if (resampler_ && rate == resamplerRate_ && channels == resamplerChannels_) {
        return 0;
    }
    if (rate <= 0 || channels <= 0 || channels > kMostChannels) {
        return AVERROR(EINVAL);
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
        return result;
    }
    resampler_ = std::move(resampler);
    resamplerRate_ = rate;
    resamplerChannels_ = channels;
    planes_.assign(static_cast<size_t>(codec_->ch_layout.nb_channels), {});
    return 0;
}

int AudioEncoder::pushSilence(int64_t frames) {
    std::vector<float> zeros(static_cast<size_t>(std::clamp<int64_t>(frames, 0, kSilenceChunk)),
                             0.0f);
    std::vector<void*> in(static_cast<size_t>(codec_->ch_layout.nb_channels), zeros.data());
    while (frames > 0) {
        const int count = static_cast<int>(std::min<int64_t>(frames, kSilenceChunk));
        if (const int result = av_audio_fifo_write(fifo_.get(), in.data(), count); result < 0) {
            return result;
        }
        frames -= count;
        if (const int result = encodeWholeFrames(); result < 0) {
            return result;
        }
    }
    return 0;
}

int AudioEncoder::pushConverted(int offset, int frames) {
    if (frames <= 0) {
        return 0;
    }
    std::vector<void*> in(planes_.size());
    for (size_t channel = 0; channel < planes_.size(); ++channel) {
        in[channel] = planes_[channel].data() + offset;
    }
    if (const int result = av_audio_fifo_write(fifo_.get(), in.data(), frames); result < 0) {
        return result;
    }
    return encodeWholeFrames();
}

int AudioEncoder::encodeWholeFrames() {
    while (av_audio_fifo_size(fifo_.get()) >= codec_->frame_size) {
        if (const int result = encodeFrame(codec_->frame_size); result < 0) {
            return result;
        }
    }
    return 0;
}

int AudioEncoder::encodeFrame(int frames) {
    // Writable at full size: a short last frame must not shrink the buffers for later ones.
    frame_->nb_samples = codec_->frame_size;
    if (const int result = av_frame_make_writable(frame_.get()); result < 0) {
        return result;
    }
    frame_->nb_samples = frames;
    const int read =
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frames);
    if (read < 0) {
        return read;
    }
    frame_->pts = encoded_;
    encoded_ += read;
    return send(frame_.get());
}

int AudioEncoder::send(const AVFrame* frame) {
    return sendAndReceive(*codec_, frame, *packet_, [this](AVPacket& packet) {
        return muxer_->write(packet, codec_->time_base, index_);
    });
}

}  // namespace vantorel
