#pragma once

#include <vector>

#include "platform/ffmpeg/audio_timeline.h"
#include "platform/ffmpeg/av_handles.h"
#include "platform/ffmpeg/track_encoder.h"

namespace vantorel {

// AAC through FFmpeg's own encoder. Blocks of interleaved float samples are converted (and, if
// their rate or channel count differ from the track's, resampled) into a queue of planar
// samples, from which the encoder takes frames of its fixed size. The track starts at the
// session start and, when the session has an end, is padded with silence or cut to end there.
class AudioEncoder final : public TrackEncoder {
  public:
    explicit AudioEncoder(const AudioOutputSettings& settings);

    MediaType mediaType() const override { return MediaType::audio; }
    bool isUsable() const override;
    ErrorRef open(Mp4Muxer& muxer) override;
    ErrorRef encode(SampleBufferRef buffer, int64_t offsetNs) override;
    ErrorRef finish(std::optional<int64_t> endNs) override;

  private:
    ErrorRef configure(const AVCodec& codec, bool globalHeader);
    // Converts `block` into planes_; the number of samples out, or a negative FFmpeg code.
    int convert(const AudioBlock& block);
    ErrorRef prepareResampler(int rate, int channels);
    ErrorRef pushSilence(int64_t frames);
    ErrorRef pushConverted(int offset, int frames);
    // Encodes whole frames while the queue holds enough for one.
    ErrorRef encodeWholeFrames();
    ErrorRef encodeFrame(int frames);
    ErrorRef send(const AVFrame* frame);

    AudioOutputSettings settings_;
    Mp4Muxer* muxer_ = nullptr;
    int streamIndex_ = -1;
    CodecContextPtr codec_;
    FramePtr frame_;
    PacketPtr packet_;
    ResamplerPtr resampler_;
    int resamplerRate_ = 0;
    int resamplerChannels_ = 0;
    AudioFifoPtr fifo_;
    AudioTimeline timeline_;
    int64_t encoded_ = 0;  // samples handed to the encoder: the next frame's time stamp
    std::vector<std::vector<float>> planes_;
};

}  // namespace vantorel
