#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ffmpeg/track_encoder.h"
#include "platform/ffmpeg/writer_state.h"
#include "platform/media_writer.h"
#include "platform/serial_queue.h"

namespace vantorel {

class Mp4Muxer;

// One track of an FfmpegMediaWriter. Appended buffers go to a short queue served by the track's
// own encoding thread; while the queue holds `capacity` buffers the input is not ready and
// refuses more, so the caller never waits for the encoder.
class FfmpegWriterInput final : public WriterInput {
  public:
    FfmpegWriterInput(std::unique_ptr<TrackEncoder> encoder, int capacity,
                      std::shared_ptr<WriterState> state, const void* owner);
    ~FfmpegWriterInput() override;

    MediaType mediaType() const override;
    // Every input behaves as a real-time one: appends never wait. Kept for the caller's sake.
    void setExpectsMediaDataInRealTime(bool realTime) override;
    // Thread-safe.
    bool isReadyForMoreMediaData() const override;
    // Called on the caller's thread (one at a time).
    bool append(const SampleBufferRef& buffer) override;
    // Called on the caller's thread. Later appends are refused.
    void markAsFinished() override;

    // The writer that made this input.
    const void* owner() const { return owner_; }
    bool isUsable() const { return encoder_->isUsable(); }
    // Called on the writer's caller thread: sets up the encoder, its track and its thread.
    ErrorRef open(Mp4Muxer& muxer);
    // Called on the writer's caller thread: buffers are timed from `start`; appends are taken.
    void beginSession(MediaTime start);
    // Called on the writer's finishing thread: lets every buffer already taken be encoded,
    // drains the encoder and returns once the track is complete.
    void finish(std::optional<int64_t> endNs);
    // Called on the writer's caller thread: drops what is queued and returns once the
    // encoding thread has let go of the track.
    void cancel();

  private:
    // Runs on the encoding thread.
    void encode(SampleBufferRef buffer, int64_t offsetNs);
    bool worthWorking() const;
    // Runs `work` on the encoding thread after everything queued, and waits for it.
    void runAfterQueued(std::function<void()> work);

    std::unique_ptr<TrackEncoder> encoder_;
    const int capacity_;
    const std::shared_ptr<WriterState> state_;
    const void* const owner_;
    MediaTime sessionStart_;  // caller's thread only
    std::atomic<int> pending_{0};
    std::atomic<bool> accepting_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> realTime_{false};
    // Declared last so that it is destroyed first: its tasks use the members above.
    std::unique_ptr<SerialQueue> queue_;
};

}  // namespace vantorel
