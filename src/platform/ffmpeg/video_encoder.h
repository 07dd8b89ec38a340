#pragma once

#include "capture/capture_source.h"
#include "capture/mp4_writer.h"
#include "platform/ffmpeg/av_handles.h"
#include "platform/ffmpeg/track_encoder.h"

namespace vantorel {

// H.264 through libx264 (High profile, automatic level) or HEVC through libx265, with variable
// frame timing: every frame keeps its own time on a 1/90000 s clock. A picture is encoded again
// only while the screen stays still (see repeatPicture).
//
// Encoder choices, for real-time capture on a machine with two cores:
// - x264's "ultrafast" preset plus the 8x8 transform and CABAC (or CAVLC where the settings ask
//   for less CPU). "ultrafast" alone turns both off and so yields Constrained Baseline; with
//   the 8x8 transform back it is High and still encodes about 190 frames of 1920x1080 per second
//   with two threads here, against about 125 for "superfast", leaving most of the machine to
//   capture and conversion. Quality is held by the bit rate.
// - No B-frames: packets come out in presentation order, so each packet's duration is simply
//   the gap to the next one and the last one can be stretched to the file's end.
// - Frame threads, no lookahead thread: x264 holds one picture per frame thread but the first.
//   Sliced threads would hold none, but cost 8 % more CPU on full motion at 1080p60 here; a
//   still screen's last picture is pushed out by the writer's repeats instead (x265 holds a few
//   more: it is used only above 4096 pixels a side).
// - As many threads as cores, at most four: more threads than cores only add frames in flight.
class VideoEncoder final : public TrackEncoder {
  public:
    explicit VideoEncoder(const VideoTrackSettings& settings);

    // The size of the pictures the encoder takes (see YuvPictures): the frame's, made even.
    static int pictureWidth(const VideoTrackSettings& settings);
    static int pictureHeight(const VideoTrackSettings& settings);

    int open(Mp4Muxer& muxer, int index) override;
    // Encodes a picture of pictureWidth() x pictureHeight() that belongs `offsetNs` after the
    // file's start. A picture from before the start, or not after the last one, is left out.
    int encode(const AVFrame& picture, int64_t offsetNs);
    // Encodes the last picture again, `laterNs` after it: while the screen stays still, this
    // moves what was shown so far into the file. Nothing before the first picture.
    int repeatPicture(int64_t laterNs);
    int finish(int64_t endNs) override;

    static constexpr int kTicksPerSecond = 90000;

  private:
    int configure(const AVCodec& codec, bool globalHeader);
    // Sends a frame (or null to drain) and writes every packet that comes out.
    int send(const AVFrame* frame);
    // Writes the packet held back, now that its duration is known.
    int writeHeld(int64_t duration);

    VideoTrackSettings settings_;
    Mp4Muxer* muxer_ = nullptr;
    int index_ = -1;
    bool finished_ = false;
    CodecContextPtr codec_;
    FramePtr last_;  // the last picture sent, for repeats
    PacketPtr received_;
    PacketPtr held_;  // the latest packet, waiting for the next one to give its duration
    bool holding_ = false;
    int64_t lastPts_ = -1;
    bool repeated_ = false;  // the last picture sent was a repeat
};

}  // namespace vantorel
