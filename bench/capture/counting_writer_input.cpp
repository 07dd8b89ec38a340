#include "counting_writer_input.h"

#include "monotonic.h"

namespace vantorel::bench {

CountingWriterInput::CountingWriterInput(std::shared_ptr<WriterInput> inner,
                                         std::shared_ptr<FrameTally> tally)
    : inner_(std::move(inner)), tally_(std::move(tally)) {}

void CountingWriterInput::setExpectsMediaDataInRealTime(bool realTime) {
    inner_->setExpectsMediaDataInRealTime(realTime);
}

bool CountingWriterInput::isReadyForMoreMediaData() const {
    const bool ready = inner_->isReadyForMoreMediaData();
    // The engine asks only with a complete frame in hand, and only while writing.
    if (!ready && tally_) {
        tally_->refused();
    }
    return ready;
}

bool CountingWriterInput::append(const SampleBufferRef& buffer) {
    const bool taken = inner_->append(buffer);
    if (taken && tally_) {
        tally_->appended(monotonicNs());
    }
    return taken;
}

}  // namespace vantorel::bench
