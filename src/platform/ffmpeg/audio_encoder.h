#pragma once

#include <vector>

#include "capture/capture_source.h"
#include "capture/mp4_writer.h"
#include "platform/ffmpeg/audio_timeline.h"
#include "platform/ffmpeg/av_handles.h"
#include "platform/ffmpeg/track_encoder.h"

namespace vantorel {

// AAC through FFmpeg's own encoder. Blocks of interleaved float samples are converted (and, if
// their rate or channel count differ from the track's, resampled) into a queue of planar
// samples, from which the encoder takes frames of its fixed size. The track starts with the
// file (silence comes first when the sound does not) and is padded with silence or cut to end
// with it.
class AudioEncoder final : public TrackEncoder {
  public:
    explicit AudioEncoder(const SoundTrackSettings& settings);

    int open(Mp4Muxer& muxer, int index) override;
    // Encodes a block whose first sample belongs `offsetNs` after the file's start.
    int encode(const SoundBlock& block, int64_t offsetNs);
    int finish(int64_t endNs) override;

  private:
    int configure(const AVCodec& codec, bool globalHeader);
    // Converts `block` into planes_; the number of samples out, or a negative FFmpeg code.
    int convert(const SoundBlock& block);
    int prepareResampler(int rate, int channels);
    int pushSilence(int64_t frames);
    int pushConverted(int offset, int frames);
    // Encodes whole frames while the queue holds enough for one.
    int encodeWholeFrames();
    // Encodes the first `frames` queued samples, the last frame short when they come out uneven.
    int encodeQueued(int frames);
    int encodeFrame(int frames);
    int send(const AVFrame* frame);

    SoundTrackSettings settings_;
    Mp4Muxer* muxer_ = nullptr;
    int index_ = -1;
    bool finished_ = false;
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
