#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/fakes/call_log.h"
#include "capture/fakes/fake_writer_input.h"
#include "platform/media_writer.h"
#include "platform/serial_queue.h"

namespace vantorel::testing {

// A media writer that writes a small real file at its path (so that keeping and deleting can be
// checked on disk) and remembers every call. Finishing answers on a thread of its own, as a
// real writer does. Controls and inspection may be used from any thread.
class FakeMediaWriter final : public MediaWriter,
                              public std::enable_shared_from_this<FakeMediaWriter> {
  public:
    FakeMediaWriter(std::filesystem::path path, std::shared_ptr<CallLog> log);

    std::shared_ptr<WriterInput> makeVideoInput(const VideoOutputSettings& settings) override;
    std::shared_ptr<WriterInput> makeAudioInput(const AudioOutputSettings& settings) override;
    bool canAddInput(const WriterInput& input) const override;
    void addInput(std::shared_ptr<WriterInput> input) override;
    bool startWriting() override;
    void startSession(MediaTime time) override;
    void endSession(MediaTime time) override;
    void finishWriting(std::function<void()> completion) override;
    void cancelWriting() override;
    WriterStatus status() const override;
    ErrorRef error() const override;

    // Controls.
    // canAddInput answers false for this kind of track; afterwards error() is `error`.
    void refuseInput(MediaType type, ErrorRef error = nullptr);
    // startWriting answers false and the writer fails with `error` (which may be null).
    void refuseStartWriting(ErrorRef error);
    // The writer fails now, as on a full disk, with `error` (which may be null).
    void fail(ErrorRef error);
    // Finishing ends in the failed state with `error` (which may be null).
    void failFinishing(ErrorRef error);
    // Puts the writer in `status` without anything else happening, as another owner might.
    void forceStatus(WriterStatus status);

    // Inspection.
    const std::filesystem::path& path() const { return path_; }
    std::shared_ptr<FakeWriterInput> videoInput() const;
    std::shared_ptr<FakeWriterInput> audioInput() const;
    std::optional<VideoOutputSettings> videoSettings() const;
    std::optional<AudioOutputSettings> audioSettings() const;
    std::vector<MediaType> addedInputs() const;
    std::vector<MediaTime> sessionStarts() const;
    std::optional<MediaTime> sessionEnd() const;
    int finishCount() const;
    int cancelCount() const;

  private:
    bool refuses(MediaType type) const;

    const std::filesystem::path path_;
    const std::shared_ptr<CallLog> log_;
    const std::unique_ptr<SerialQueue> finisher_;

    mutable std::mutex mutex_;
    WriterStatus status_ = WriterStatus::unknown;
    ErrorRef error_;
    std::vector<MediaType> refusedInputs_;
    ErrorRef refusedInputError_;
    bool refuseStart_ = false;
    ErrorRef startError_;
    bool failFinishing_ = false;
    ErrorRef finishError_;
    std::shared_ptr<FakeWriterInput> videoInput_;
    std::shared_ptr<FakeWriterInput> audioInput_;
    std::optional<VideoOutputSettings> videoSettings_;
    std::optional<AudioOutputSettings> audioSettings_;
    std::vector<MediaType> added_;
    std::vector<MediaTime> sessionStarts_;
    std::optional<MediaTime> sessionEnd_;
    int finishCount_ = 0;
    int cancelCount_ = 0;
};

}  // namespace vantorel::testing
