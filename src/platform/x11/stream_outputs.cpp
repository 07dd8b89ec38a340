#include "platform/x11/stream_outputs.h"

#include "platform/serial_queue.h"
#include "platform/x11/x11_errors.h"

namespace vantorel {

ErrorRef StreamOutputs::add(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                            std::shared_ptr<SerialQueue> queue) {
    if (output.expired() || !queue) {
        return makeX11CaptureError(X11CaptureErrorCode::invalidState,
                                   "A stream output needs an output object and a queue.");
    }
    std::lock_guard lock(mutex_);
    registrations_[type] = Registration{std::move(output), std::move(queue)};
    return nullptr;
}

void StreamOutputs::deliver(StreamOutputType type, SampleBufferRef buffer,
                            const std::weak_ptr<CaptureStream>& stream) const {
    std::shared_ptr<CaptureStream> source = stream.lock();
    if (!source) {
        return;  // delivered while the stream itself was being destroyed
    }
    Registration registration;
    {
        std::lock_guard lock(mutex_);
        auto it = registrations_.find(type);
        if (it == registrations_.end()) {
            return;
        }
        registration = it->second;
    }
    registration.queue->async([output = std::move(registration.output), source = std::move(source),
                               buffer = std::move(buffer), type] {
        if (auto receiver = output.lock()) {
            receiver->streamDidOutput(*source, buffer, type);
        }
    });
}

}  // namespace vantorel
