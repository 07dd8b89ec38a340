#include "counting_source.h"

#include "monotonic.h"
#include "platform/x11/x11_capture_source.h"

namespace vantorel::bench {

CountingSource::CountingSource(std::shared_ptr<FrameTally> tally, const std::string& displayName)
    : tally_(std::move(tally)),
      inner_(makeX11CaptureSourceFactory(X11CaptureOptions{displayName, {}})()) {}

void CountingSource::start(const CaptureRequest& request, CaptureSink& sink, StartAnswer answer) {
    sink_ = &sink;
    inner_->start(request, *this, std::move(answer));
}

void CountingSource::stop() {
    inner_->stop();
}

void CountingSource::take(const VideoFrame& frame) {
    const int64_t before = monotonicNs();
    sink_->take(frame);
    tally_->offered(frame.complete, frame.timeNs, monotonicNs() - before);
}

void CountingSource::take(SoundBlock block) {
    sink_->take(std::move(block));
}

void CountingSource::sourceStopped(const Error& error) {
    sink_->sourceStopped(error);
}

}  // namespace vantorel::bench
