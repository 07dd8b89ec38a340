#pragma once

#include "platform/ffmpeg/ffmpeg_media_writer.h"
#include "platform/media_writer.h"

namespace vantorel {

// Makes FfmpegMediaWriters. The file is created here, so a save folder that cannot be written
// to (missing, read-only, not a folder, no permission) is reported before any encoder is set up.
class FfmpegWriterFactory final : public MediaWriterFactory {
  public:
    // Also turns FFmpeg's own logging down to warnings: otherwise x264 and the AAC encoder print
    // their statistics on standard error at the end of every recording.
    explicit FfmpegWriterFactory(WriterQueueLengths queueLengths = {});

    // Called on any thread.
    std::shared_ptr<MediaWriter> makeWriter(const std::filesystem::path& path,
                                            ErrorRef& error) override;

  private:
    WriterQueueLengths queueLengths_;
};

}  // namespace vantorel
