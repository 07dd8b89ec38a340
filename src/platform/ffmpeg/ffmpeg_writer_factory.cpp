#include "platform/ffmpeg/ffmpeg_writer_factory.h"

#include "platform/ffmpeg/mp4_muxer.h"

extern "C" {
#include <libavutil/log.h>
}

namespace vantorel {

FfmpegWriterFactory::FfmpegWriterFactory(WriterQueueLengths queueLengths)
    : queueLengths_(queueLengths) {
    av_log_set_level(AV_LOG_WARNING);
}

std::shared_ptr<MediaWriter> FfmpegWriterFactory::makeWriter(const std::filesystem::path& path,
                                                             ErrorRef& error) {
    std::unique_ptr<Mp4Muxer> muxer = Mp4Muxer::create(path, error);
    if (!muxer) {
        return nullptr;
    }
    return std::make_shared<FfmpegMediaWriter>(std::move(muxer), queueLengths_);
}

}  // namespace vantorel
