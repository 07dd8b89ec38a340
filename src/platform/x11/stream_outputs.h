#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "platform/capture_service.h"

namespace vantorel {

// The outputs registered with a stream, one per output type, and the queues they want their
// buffers on. Outputs are held weakly: one that is gone gets nothing.
class StreamOutputs {
  public:
    // Any thread. Replaces an earlier registration of the same type.
    ErrorRef add(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                 std::shared_ptr<SerialQueue> queue);
    // Posts `buffer` to the queue of the output registered for `type`; dropped when there is
    // none. The task keeps the stream alive until it has run: a buffer delivered before the
    // stream stopped reaches its output even when the stream's owner has let go of it by then.
    // Any thread.
    void deliver(StreamOutputType type, SampleBufferRef buffer,
                 const std::weak_ptr<CaptureStream>& stream) const;

  private:
    struct Registration {
        std::weak_ptr<StreamOutput> output;
        std::shared_ptr<SerialQueue> queue;
    };

    mutable std::mutex mutex_;
    std::map<StreamOutputType, Registration> registrations_;
};

}  // namespace vantorel
