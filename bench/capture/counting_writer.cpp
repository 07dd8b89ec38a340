#include "counting_writer.h"

#include "monotonic.h"

namespace vantorel::bench {

bool CountingWriter::appendVideo(const VideoFrame& frame) {
    const bool taken = inner_->appendVideo(frame);
    if (taken) {
        tally_->appended(monotonicNs());
    } else {
        tally_->refused();
    }
    return taken;
}

Mp4WriterFactory countingWriterFactory(std::shared_ptr<FrameTally> tally, int videoQueue) {
    Mp4WriterQueues queues;
    queues.video = videoQueue > 0 ? videoQueue : queues.video;
    return [tally, inner = makeFfmpegMp4WriterFactory(queues)](
               const Mp4WriterSettings& settings,
               std::optional<Error>& error) -> std::unique_ptr<Mp4Writer> {
        std::unique_ptr<Mp4Writer> writer = inner(settings, error);
        return writer ? std::make_unique<CountingWriter>(std::move(writer), tally) : nullptr;
    };
}

}  // namespace vantorel::bench
