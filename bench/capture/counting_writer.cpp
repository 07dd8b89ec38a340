#include "counting_writer.h"

#include "monotonic.h"

namespace vantorel::bench {

void CountingWriter::begin(int64_t startNs) {
    clocks_->begin(startNs);
    inner_->begin(startNs);
}

bool CountingWriter::appendVideo(const VideoFrame& frame) {
    const bool taken = inner_->appendVideo(frame);
    if (taken) {
        tally_->appended(monotonicNs());
        clocks_->pictureTaken(frame.timeNs);
    } else {
        tally_->refused();
    }
    return taken;
}

bool CountingWriter::appendSound(SoundBlock block) {
    const int64_t stampNs = block.timeNs;
    const int64_t frames = block.frameCount();
    const int sampleRate = block.sampleRate;
    const bool taken = inner_->appendSound(std::move(block));
    clocks_->soundHanded(stampNs, frames, sampleRate, taken, monotonicNs());
    return taken;
}

Mp4WriterFactory countingWriterFactory(std::shared_ptr<FrameTally> tally,
                                       std::shared_ptr<TrackClocks> clocks, int videoQueue) {
    Mp4WriterQueues queues;
    queues.video = videoQueue > 0 ? videoQueue : queues.video;
    return [tally, clocks, inner = makeFfmpegMp4WriterFactory(queues)](
               const Mp4WriterSettings& settings,
               std::optional<Error>& error) -> std::unique_ptr<Mp4Writer> {
        std::unique_ptr<Mp4Writer> writer = inner(settings, error);
        return writer ? std::make_unique<CountingWriter>(std::move(writer), tally, clocks)
                      : nullptr;
    };
}

}  // namespace vantorel::bench
