#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/fakes/call_log.h"
#include "platform/capture_service.h"
#include "platform/serial_queue.h"

namespace vantorel::testing {

// A capture stream driven by the test: it delivers the buffers the test hands it, on the queue
// its output registered with, and answers start and stop on a thread of its own. Controls and
// inspection may be used from any thread.
class FakeCaptureStream final : public CaptureStream,
                                public std::enable_shared_from_this<FakeCaptureStream> {
  public:
    FakeCaptureStream(ContentFilterRef filter, StreamConfiguration configuration,
                      std::weak_ptr<StreamDelegate> delegate, std::shared_ptr<CallLog> log);

    ErrorRef addStreamOutput(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                             std::shared_ptr<SerialQueue> queue) override;
    void startCapture(CaptureCompletion completion) override;
    void stopCapture(CaptureCompletion completion) override;

    // Controls, set before the recorder uses the stream.
    void refuseOutput(StreamOutputType type, ErrorRef error);
    void failStart(ErrorRef error);
    void failStop(ErrorRef error);

    // Hands `buffer` to the output registered for `type` on its queue, and returns at once.
    // Nothing is delivered for a type without an output. A type the stream does not know goes
    // to the screen output, as a confused service might send it.
    void deliver(const SampleBufferRef& buffer, StreamOutputType type);
    // Tells the delegate, on the stream's own thread, that the stream stopped by itself; returns
    // once the delegate has been told.
    void stopByItself(const ErrorRef& error);

    const ContentFilterRef& filter() const { return filter_; }
    const StreamConfiguration& configuration() const { return configuration_; }
    std::vector<StreamOutputType> registeredTypes() const;
    std::shared_ptr<SerialQueue> queueFor(StreamOutputType type) const;
    bool isRunning() const;
    int startCount() const;
    int stopCount() const;

  private:
    struct Registration {
        std::weak_ptr<StreamOutput> output;
        std::shared_ptr<SerialQueue> queue;
    };

    const ContentFilterRef filter_;
    const StreamConfiguration configuration_;
    const std::weak_ptr<StreamDelegate> delegate_;
    const std::shared_ptr<CallLog> log_;
    const std::unique_ptr<SerialQueue> own_;

    mutable std::mutex mutex_;
    std::map<StreamOutputType, ErrorRef> refusals_;
    ErrorRef startError_;
    ErrorRef stopError_;
    std::vector<StreamOutputType> order_;
    std::map<StreamOutputType, Registration> outputs_;
    bool running_ = false;
    int starts_ = 0;
    int stops_ = 0;
};

}  // namespace vantorel::testing
