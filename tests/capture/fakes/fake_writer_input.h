#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/fakes/call_log.h"
#include "platform/media_writer.h"

namespace vantorel::testing {

// A writer track that keeps what it was given. Ready and accepting unless told otherwise.
class FakeWriterInput final : public WriterInput {
  public:
    FakeWriterInput(MediaType type, std::shared_ptr<CallLog> log);

    MediaType mediaType() const override { return type_; }
    void setExpectsMediaDataInRealTime(bool realTime) override;
    bool isReadyForMoreMediaData() const override;
    bool append(const SampleBufferRef& buffer) override;
    void markAsFinished() override;

    // Test controls, any thread.
    void setReady(bool ready);
    void setAppendSucceeds(bool succeeds);

    // Inspection, any thread.
    bool expectsMediaDataInRealTime() const;
    std::vector<SampleBufferRef> appended() const;
    std::vector<MediaTime> appendedTimes() const;
    // Appends refused by the input although it said it was ready.
    int refusedAppends() const;
    bool isFinished() const;

  private:
    const char* name() const;

    const MediaType type_;
    const std::shared_ptr<CallLog> log_;
    mutable std::mutex mutex_;
    bool realTime_ = false;
    bool ready_ = true;
    bool appendSucceeds_ = true;
    bool finished_ = false;
    int refused_ = 0;
    std::vector<SampleBufferRef> appended_;
};

}  // namespace vantorel::testing
