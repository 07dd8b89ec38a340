#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ffmpeg/output_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vantorel {

// One MPEG-4 file opened for writing, shared by the encoders of its tracks: their packets meet
// here under one lock. Every method is thread-safe; errors are negative FFmpeg codes.
//
// The file is created when the muxer is made, so that a folder that cannot be written to is
// reported before any encoder is set up or capture is started. It is created exclusively (see
// OutputFile): a file already at the path is left alone.
//
// While recording the file is written as fragments, each with its own index, and handed to the
// kernel after every half second of media, or a second after the last packet when nothing more
// comes: a recording cut off by a crash, a kill or a power cut plays up to its last whole
// fragment, and carries a marker that lets the next start find it and finish it (see
// platform/mp4). Finishing writes one ordinary index over the same media data.
class Mp4Muxer {
  public:
    // Creates the file at `path` with `streams` tracks, numbered in the order the caller will
    // describe them; null with the errno in `errorCode` when that fails.
    static std::unique_ptr<Mp4Muxer> create(const std::filesystem::path& path, int streams,
                                            int& errorCode);
    // Closes the file if it is still open, without an index.
    ~Mp4Muxer();

    Mp4Muxer(const Mp4Muxer&) = delete;
    Mp4Muxer& operator=(const Mp4Muxer&) = delete;

    // Whether encoders must put their parameter sets in the stream's extradata.
    bool wantsGlobalHeader() const { return globalHeader_; }
    // Gives track `index` the parameters of the encoder that feeds it; on that track's thread,
    // before writeHeader.
    int describeStream(int index, const AVCodecContext& encoder);
    // Once every track is described.
    int writeHeader();
    // Writes one encoded packet whose times are in `timeBase`; takes the packet's data.
    int write(AVPacket& packet, AVRational timeBase, int index);
    // Writes out what it holds as a fragment, if anything; for a track thread that had nothing
    // to write for a while. Answers the write error, if there was one.
    int flush();
    // Writes the index and closes the file; the file is then complete.
    int finish();
    // Closes the file and removes it while it is still the file made here, unless it is complete.
    void discard();

  private:
    struct ContextDeleter {
        void operator()(AVFormatContext* context) const;
    };

    explicit Mp4Muxer(std::unique_ptr<OutputFile> file);

    // With the lock held.
    int cutFragment();
    // Has FFmpeg write the file's first boxes into `header` rather than the file.
    int writeHeaderInto(std::vector<uint8_t>& header);

    static constexpr int64_t kUnset = INT64_MIN;

    std::mutex mutex_;
    std::unique_ptr<OutputFile> file_;
    // Media time of the first packet since the last cut; kUnset while none came.
    int64_t fragmentStartMs_ = kUnset;
    std::unique_ptr<AVFormatContext, ContextDeleter> context_;
    // By track, in its encoder's time base: how long the encoder's priming lasts, the time its
    // first packet carries before that of the first sample it was given.
    std::vector<int64_t> priming_;
    bool globalHeader_ = false;
    bool complete_ = false;
};

}  // namespace vantorel
