#pragma once

#include <memory>

#include "frame_tally.h"
#include "platform/ffmpeg/ffmpeg_writer_factory.h"

namespace vantorel::bench {

// The real FFmpeg writer factory, wrapped for counting.
class CountingWriterFactory final : public MediaWriterFactory {
  public:
    // `videoQueue` > 0 replaces the writer's own video queue length.
    CountingWriterFactory(std::shared_ptr<FrameTally> tally, int videoQueue);

    // Any thread.
    std::shared_ptr<MediaWriter> makeWriter(const std::filesystem::path& path,
                                            ErrorRef& error) override;

  private:
    FfmpegWriterFactory inner_;
    std::shared_ptr<FrameTally> tally_;
};

}  // namespace vantorel::bench
