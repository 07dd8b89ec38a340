#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/media_writer.h"

namespace vantorel {

class Mp4Muxer;

// Buffers each track takes before it is no longer ready: a few frames, so that the capture
// pool keeps free slots while the encoder is busy; sound blocks are small and many.
struct WriterQueueLengths {
    int video = 3;
    int audio = 32;
};

// A MediaWriter on FFmpeg: one MPEG-4 file with at most one video and one sound track.
//
// Each track encodes on a thread of its own behind a short queue (FfmpegWriterInput); packets
// meet in the muxer. finishWriting drains both tracks, writes the index and calls its
// completion on the writer's finishing thread, "Vantorel.writer". A writer that is dropped
// before it started writing removes the empty file it created, as does a failed startWriting,
// so that no empty file is left behind when a recording cannot start.
class FfmpegMediaWriter final : public MediaWriter {
  public:
    FfmpegMediaWriter(std::unique_ptr<Mp4Muxer> muxer, WriterQueueLengths queueLengths);
    ~FfmpegMediaWriter() override;

    FfmpegMediaWriter(const FfmpegMediaWriter&) = delete;
    FfmpegMediaWriter& operator=(const FfmpegMediaWriter&) = delete;

    std::shared_ptr<WriterInput> makeVideoInput(const VideoOutputSettings& settings) override;
    std::shared_ptr<WriterInput> makeAudioInput(const AudioOutputSettings& settings) override;
    bool canAddInput(const WriterInput& input) const override;
    void addInput(std::shared_ptr<WriterInput> input) override;

    bool startWriting() override;
    void startSession(MediaTime time) override;
    void endSession(MediaTime time) override;
    void finishWriting(std::function<void()> completion) override;
    void cancelWriting() override;

    // Thread-safe.
    WriterStatus status() const override;
    // Thread-safe.
    ErrorRef error() const override;

  private:
    struct Core;
    static void finishOnWriterThread(Core& core, std::optional<int64_t> endNs);

    WriterQueueLengths queueLengths_;
    std::shared_ptr<Core> core_;
};

}  // namespace vantorel
