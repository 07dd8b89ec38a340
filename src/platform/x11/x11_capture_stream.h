#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "platform/audio_source.h"
#include "platform/capture_service.h"
#include "platform/serial_queue.h"
#include "platform/x11/stream_outputs.h"

namespace vantorel {

class CaptureSession;

// What a stream takes from the service that made it.
struct X11StreamEnvironment {
    std::string displayName;  // empty: $DISPLAY
    AudioSourceFactory audioSourceFactory;
    std::chrono::nanoseconds idleFrameInterval = std::chrono::seconds(1);
};

// A capture of one rectangle of one RandR monitor, through a connection of its own.
//
// Excluded applications: without a compositing manager an X server cannot leave windows out
// of a grab of the root window, so the filter's excluded applications are not honoured here.
// The application keeps its own windows (outline, stop pill) outside the captured rectangle.
//
// Start and stop run on a control thread of the stream's own, where their completions are
// called; frames come from the capture thread and sound from the audio source's thread, and
// both are posted to the queues of the registered outputs. Must be owned by a shared_ptr.
class X11CaptureStream final : public CaptureStream,
                               public std::enable_shared_from_this<X11CaptureStream> {
  public:
    X11CaptureStream(ContentFilterRef filter, const StreamConfiguration& configuration,
                     std::weak_ptr<StreamDelegate> delegate, X11StreamEnvironment environment);
    ~X11CaptureStream() override;

    // Any thread.
    ErrorRef addStreamOutput(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                             std::shared_ptr<SerialQueue> queue) override;
    // Any thread; the completion runs on the control thread.
    void startCapture(CaptureCompletion completion) override;
    void stopCapture(CaptureCompletion completion) override;

    // Grabs left out because all `queueDepth` buffers were held. Any thread.
    uint64_t skippedGrabs() const;
    // Frames handed to the outputs' queues. Any thread.
    uint64_t deliveredFrames() const;

  private:
    enum class State {
        idle,     // made, not started
        running,  // started; may have failed since, which stopCapture cleans up after
        stopped,  // stopped or failed to start; the stream is spent
    };

    // On the control thread.
    void begin(CaptureCompletion completion);
    void end(CaptureCompletion completion);
    ErrorRef startAudio(const std::shared_ptr<CaptureSession>& session);
    void haltAudio();
    void reportStop(const ErrorRef& error);

    ContentFilterRef filter_;
    StreamConfiguration configuration_;
    std::weak_ptr<StreamDelegate> delegate_;
    X11StreamEnvironment environment_;
    std::shared_ptr<StreamOutputs> outputs_ = std::make_shared<StreamOutputs>();

    // Touched on the control thread only (and by the destructor, when nothing else can).
    State state_ = State::idle;
    std::unique_ptr<AudioSource> audio_;
    // Written on the control thread, read from any thread for the statistics.
    mutable std::mutex sessionMutex_;
    std::shared_ptr<CaptureSession> session_;

    // Last, so that it is gone (its tasks run) before the state above.
    std::shared_ptr<SerialQueue> control_;
};

}  // namespace vantorel
