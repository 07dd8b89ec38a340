#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/ffmpeg/ffmpeg_media_writer.h"
#include "platform/media_writer.h"
#include "platform/sample_buffer.h"

namespace vantorel::testing {

struct Rgb {
    unsigned char r = 0;
    unsigned char g = 0;
    unsigned char b = 0;
};

// A host-clock time `seconds` after an arbitrary origin far from zero, as capture stamps are.
MediaTime hostTime(double seconds);

// BGRA pixels of one colour; `rowPadding` extra bytes per row hold garbage that must not show.
std::shared_ptr<const PixelBuffer> solidPixels(int width, int height, Rgb colour,
                                               int rowPadding = 0);
// BGRA pixels of noise, which no encoder can squeeze much.
std::shared_ptr<const PixelBuffer> noisePixels(int width, int height, unsigned seed);
SampleBufferRef videoSample(double seconds, std::shared_ptr<const PixelBuffer> pixels);
// `frames` samples of a sine of `frequency` Hz on every channel, continuing the phase from
// sample `firstSample`, stamped at `seconds`.
SampleBufferRef toneSample(double seconds, int frames, double frequency, int64_t firstSample,
                           int rate = 48000, int channels = 2);

VideoOutputSettings videoSettings(int width, int height, int frameRate = 30,
                                  VideoCodec codec = VideoCodec::h264);

// Queues long enough that no test append is ever refused.
inline constexpr WriterQueueLengths kRoomyQueues{1000, 1000};

// A writer that has started writing, with its inputs, and its session started at hostTime(0).
struct OpenWriter {
    std::shared_ptr<MediaWriter> writer;
    std::shared_ptr<WriterInput> video;
    std::shared_ptr<WriterInput> audio;
};
OpenWriter openWriter(const std::filesystem::path& file, const VideoOutputSettings& video,
                      bool withSound, WriterQueueLengths queues = kRoomyQueues);

// Marks the inputs finished, ends the session `endSeconds` after its start, finishes writing
// and waits for the completion. Answers the name of the thread that ran the completion.
std::string finishWriter(OpenWriter& open, double endSeconds);

// A fresh empty folder, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

}  // namespace vantorel::testing
