#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/error.h"
#include "platform/ffmpeg/output_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vantorel {

// One MPEG-4 file opened for writing, shared by the encoders of its tracks.
//
// The file is created when the muxer is made, so that a folder that cannot be written to is
// reported by the writer factory, before any encoder is set up or capture is started. It is
// created exclusively (see OutputFile): a file already at the path is left alone.
class Mp4Muxer {
  public:
    // Creates the file at `path`; null with `error` set when that fails, also when something
    // is already there.
    static std::unique_ptr<Mp4Muxer> create(const std::filesystem::path& path, ErrorRef& error);
    // Closes the file if it is still open, without a trailer.
    ~Mp4Muxer();

    Mp4Muxer(const Mp4Muxer&) = delete;
    Mp4Muxer& operator=(const Mp4Muxer&) = delete;

    // Whether encoders must put their parameter sets in the stream's extradata.
    bool wantsGlobalHeader() const;

    // Called on the writer's caller thread, before writeHeader. The stream's index, or -1.
    int addStream(const AVCodecContext& encoder, ErrorRef& error);
    // Called on the writer's caller thread.
    ErrorRef writeHeader();

    // Writes one encoded packet whose times are in `timeBase`; takes the packet's data.
    // Called on any encoding thread; thread-safe.
    ErrorRef write(AVPacket& packet, AVRational timeBase, int streamIndex);

    // Writes the index and closes the file. Called on the finishing thread once every
    // encoder is done.
    ErrorRef finish();
    // Closes the file as it is, without an index. Called on the writer's caller thread.
    void close();
    // Closes the file and removes it, as long as it is still the file made here: for a file
    // that never got its header.
    void discard();

  private:
    struct ContextDeleter {
        void operator()(AVFormatContext* context) const;
    };

    explicit Mp4Muxer(std::unique_ptr<OutputFile> file);

    std::mutex mutex_;
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<AVFormatContext, ContextDeleter> context_;
};

}  // namespace vantorel
