#pragma once

#include <memory>

#include "capture/mp4_writer.h"
#include "frame_tally.h"
#include "platform/ffmpeg/ffmpeg_mp4_writer.h"
#include "track_clocks.h"

namespace vantorel::bench {

// The real FFmpeg writer, counting the video frames it takes and refuses, and keeping the
// media time of both tracks.
class CountingWriter final : public Mp4Writer {
  public:
    CountingWriter(std::unique_ptr<Mp4Writer> inner, std::shared_ptr<FrameTally> tally,
                   std::shared_ptr<TrackClocks> clocks)
        : inner_(std::move(inner)), tally_(std::move(tally)), clocks_(std::move(clocks)) {}

    void open(Answer answer) override { inner_->open(std::move(answer)); }
    void begin(int64_t startNs) override;
    // The grab thread.
    bool appendVideo(const VideoFrame& frame) override;
    // The sound thread.
    bool appendSound(SoundBlock block) override;
    std::optional<Error> failure() const override { return inner_->failure(); }
    void finish(int64_t endNs, Answer answer) override { inner_->finish(endNs, std::move(answer)); }
    void cancel() override { inner_->cancel(); }

  private:
    std::unique_ptr<Mp4Writer> inner_;
    std::shared_ptr<FrameTally> tally_;
    std::shared_ptr<TrackClocks> clocks_;
};

// The real writer factory, with `videoQueue` frames in the video queue (0: the writer's own).
Mp4WriterFactory countingWriterFactory(std::shared_ptr<FrameTally> tally,
                                       std::shared_ptr<TrackClocks> clocks, int videoQueue);

}  // namespace vantorel::bench
