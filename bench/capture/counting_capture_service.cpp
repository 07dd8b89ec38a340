#include "counting_capture_service.h"

namespace vantorel::bench {

CountingCaptureService::CountingCaptureService(std::shared_ptr<FrameTally> tally, int streamBuffers)
    : tally_(std::move(tally)), streamBuffers_(streamBuffers) {}

void CountingCaptureService::getShareableContent(bool excludingDesktopWindows,
                                                 bool onScreenWindowsOnly,
                                                 ShareableContentCompletion completion) {
    inner_.getShareableContent(excludingDesktopWindows, onScreenWindowsOnly, std::move(completion));
}

std::shared_ptr<CaptureStream> CountingCaptureService::makeStream(
    ContentFilterRef filter, const StreamConfiguration& configuration,
    std::weak_ptr<StreamDelegate> delegate) {
    StreamConfiguration adjusted = configuration;
    if (streamBuffers_ > 0) {
        adjusted.queueDepth = streamBuffers_;
    }
    auto stream = std::make_shared<CountingStream>(
        inner_.makeX11Stream(std::move(filter), adjusted, std::move(delegate)), tally_);
    std::lock_guard lock(mutex_);
    lastStream_ = stream;
    return stream;
}

uint64_t CountingCaptureService::skippedGrabs() const {
    std::lock_guard lock(mutex_);
    return lastStream_ ? lastStream_->skippedGrabs() : 0;
}

}  // namespace vantorel::bench
