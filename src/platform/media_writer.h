#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "platform/error.h"
#include "platform/media_time.h"
#include "platform/sample_buffer.h"

namespace vantorel {

enum class WriterStatus { unknown, writing, completed, failed, cancelled };
enum class MediaType { video, audio };
enum class VideoCodec { h264, hevc };
enum class VideoProfileLevel { h264HighAutoLevel };

struct VideoCompressionProperties {
    int64_t averageBitRate = 0;           // bits per second
    int64_t expectedSourceFrameRate = 0;  // frames per second
    int64_t maxKeyFrameInterval = 0;      // frames
    std::optional<VideoProfileLevel> profileLevel;
};

struct VideoOutputSettings {
    VideoCodec codec = VideoCodec::h264;
    int64_t width = 0;
    int64_t height = 0;
    VideoCompressionProperties compression;
};

inline constexpr uint32_t kAudioFormatMPEG4AAC = 0x61616320;  // 'aac '

struct AudioOutputSettings {
    uint32_t formatID = kAudioFormatMPEG4AAC;
    int64_t numberOfChannels = 2;
    int64_t sampleRate = 48000;
    int64_t encoderBitRate = 128000;
};

// One track of a media writer. Appending never blocks: it is refused while not ready.
class WriterInput {
  public:
    virtual ~WriterInput() = default;
    virtual MediaType mediaType() const = 0;
    virtual void setExpectsMediaDataInRealTime(bool realTime) = 0;
    // False while the input's queue is full. Thread-safe.
    virtual bool isReadyForMoreMediaData() const = 0;
    // Called on one thread at a time (the sample queue). True when the buffer was taken.
    virtual bool append(const SampleBufferRef& buffer) = 0;
    virtual void markAsFinished() = 0;
};

// Writes one MPEG-4 file. Its operations are called on one thread at a time; status() and
// error() may be read from any thread.
class MediaWriter {
  public:
    virtual ~MediaWriter() = default;

    virtual std::shared_ptr<WriterInput> makeVideoInput(const VideoOutputSettings& settings) = 0;
    virtual std::shared_ptr<WriterInput> makeAudioInput(const AudioOutputSettings& settings) = 0;
    virtual bool canAddInput(const WriterInput& input) const = 0;
    virtual void addInput(std::shared_ptr<WriterInput> input) = 0;

    // Opens the file; false with error() set when that fails.
    virtual bool startWriting() = 0;
    // The file's timeline begins at `time`: every buffer's time is taken relative to it.
    virtual void startSession(MediaTime time) = 0;
    // The file's timeline ends at `time`: the last video frame lasts until then.
    virtual void endSession(MediaTime time) = 0;
    // Flushes, writes the trailer and closes the file; `completion` runs once on a writer thread.
    virtual void finishWriting(std::function<void()> completion) = 0;
    // Stops at once; the file is left for the caller to delete.
    virtual void cancelWriting() = 0;

    virtual WriterStatus status() const = 0;
    virtual ErrorRef error() const = 0;
};

class MediaWriterFactory {
  public:
    virtual ~MediaWriterFactory() = default;
    // A writer for an MPEG-4 file at `path`, or null with `error` set.
    virtual std::shared_ptr<MediaWriter> makeWriter(const std::filesystem::path& path,
                                                    ErrorRef& error) = 0;
};

}  // namespace vantorel
