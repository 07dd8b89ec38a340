#include "counting_writer.h"

#include "counting_writer_input.h"

namespace vantorel::bench {

namespace {

// The real writer only knows its own inputs.
const WriterInput& unwrapped(const WriterInput& input) {
    const auto* counting = dynamic_cast<const CountingWriterInput*>(&input);
    return counting != nullptr ? *counting->inner() : input;
}

std::shared_ptr<WriterInput> unwrapped(const std::shared_ptr<WriterInput>& input) {
    const auto counting = std::dynamic_pointer_cast<CountingWriterInput>(input);
    return counting ? counting->inner() : input;
}

}  // namespace

CountingWriter::CountingWriter(std::shared_ptr<MediaWriter> inner,
                               std::shared_ptr<FrameTally> tally)
    : inner_(std::move(inner)), tally_(std::move(tally)) {}

std::shared_ptr<WriterInput> CountingWriter::makeVideoInput(const VideoOutputSettings& settings) {
    std::shared_ptr<WriterInput> input = inner_->makeVideoInput(settings);
    return input ? std::make_shared<CountingWriterInput>(std::move(input), tally_) : nullptr;
}

std::shared_ptr<WriterInput> CountingWriter::makeAudioInput(const AudioOutputSettings& settings) {
    std::shared_ptr<WriterInput> input = inner_->makeAudioInput(settings);
    return input ? std::make_shared<CountingWriterInput>(std::move(input), nullptr) : nullptr;
}

bool CountingWriter::canAddInput(const WriterInput& input) const {
    return inner_->canAddInput(unwrapped(input));
}

void CountingWriter::addInput(std::shared_ptr<WriterInput> input) {
    inner_->addInput(unwrapped(input));
}

void CountingWriter::finishWriting(std::function<void()> completion) {
    inner_->finishWriting(std::move(completion));
}

}  // namespace vantorel::bench
