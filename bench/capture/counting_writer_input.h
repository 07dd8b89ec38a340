#pragma once

#include <memory>

#include "frame_tally.h"
#include "platform/media_writer.h"

namespace vantorel::bench {

// A writer input that counts the video frames it takes and refuses.
class CountingWriterInput final : public WriterInput {
  public:
    // `tally` is null for a track that is not counted.
    CountingWriterInput(std::shared_ptr<WriterInput> inner, std::shared_ptr<FrameTally> tally);

    MediaType mediaType() const override { return inner_->mediaType(); }
    void setExpectsMediaDataInRealTime(bool realTime) override;
    // Any thread. A "no" is where the engine lets a frame go, so it is counted here.
    bool isReadyForMoreMediaData() const override;
    // The sample queue.
    bool append(const SampleBufferRef& buffer) override;
    void markAsFinished() override { inner_->markAsFinished(); }

    const std::shared_ptr<WriterInput>& inner() const { return inner_; }

  private:
    std::shared_ptr<WriterInput> inner_;
    std::shared_ptr<FrameTally> tally_;
};

}  // namespace vantorel::bench
