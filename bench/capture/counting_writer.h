#pragma once

#include <memory>

#include "frame_tally.h"
#include "platform/media_writer.h"

namespace vantorel::bench {

// A media writer whose video input counts frames; everything else goes to the real writer.
class CountingWriter final : public MediaWriter {
  public:
    CountingWriter(std::shared_ptr<MediaWriter> inner, std::shared_ptr<FrameTally> tally);

    std::shared_ptr<WriterInput> makeVideoInput(const VideoOutputSettings& settings) override;
    std::shared_ptr<WriterInput> makeAudioInput(const AudioOutputSettings& settings) override;
    bool canAddInput(const WriterInput& input) const override;
    void addInput(std::shared_ptr<WriterInput> input) override;

    bool startWriting() override { return inner_->startWriting(); }
    void startSession(MediaTime time) override { inner_->startSession(time); }
    void endSession(MediaTime time) override { inner_->endSession(time); }
    void finishWriting(std::function<void()> completion) override;
    void cancelWriting() override { inner_->cancelWriting(); }

    WriterStatus status() const override { return inner_->status(); }
    ErrorRef error() const override { return inner_->error(); }

  private:
    std::shared_ptr<MediaWriter> inner_;
    std::shared_ptr<FrameTally> tally_;
};

}  // namespace vantorel::bench
