#include "platform/x11/x11_capture_stream.h"

#include "platform/x11/capture_session.h"
#include "platform/x11/x11_errors.h"

namespace vantorel {

namespace {

std::chrono::nanoseconds frameIntervalOf(const MediaTime& interval) {
    if (!interval.isValid() || interval.value <= 0) {
        return std::chrono::nanoseconds(1'000'000'000 / 60);
    }
    return std::chrono::nanoseconds(interval.nanoseconds());
}

CaptureSessionSettings sessionSettings(const ContentFilter& filter,
                                       const StreamConfiguration& configuration,
                                       const X11StreamEnvironment& environment) {
    CaptureSessionSettings settings;
    settings.displayName = environment.displayName;
    settings.displayID = filter.display.displayID;
    settings.scale = filter.display.scale > 0 ? filter.display.scale : 1.0;
    settings.sourceRect = configuration.sourceRect;
    settings.width = static_cast<int>(configuration.width);
    settings.height = static_cast<int>(configuration.height);
    settings.frameInterval = frameIntervalOf(configuration.minimumFrameInterval);
    settings.showsCursor = configuration.showsCursor;
    settings.queueDepth = configuration.queueDepth;
    settings.idleInterval = environment.idleFrameInterval;
    return settings;
}

ErrorRef invalidState(const char* message) {
    return makeX11CaptureError(X11CaptureErrorCode::invalidState, message);
}

}  // namespace

X11CaptureStream::X11CaptureStream(ContentFilterRef filter,
                                   const StreamConfiguration& configuration,
                                   std::weak_ptr<StreamDelegate> delegate,
                                   X11StreamEnvironment environment)
    : filter_(std::move(filter)),
      configuration_(configuration),
      delegate_(std::move(delegate)),
      environment_(std::move(environment)),
      control_(std::make_shared<SerialQueue>("Vantorel.x11cap")) {}

X11CaptureStream::~X11CaptureStream() {
    if (session_) {
        session_->stop();
    }
    if (audio_) {
        audio_->stop();
    }
}

ErrorRef X11CaptureStream::addStreamOutput(std::weak_ptr<StreamOutput> output,
                                           StreamOutputType type,
                                           std::shared_ptr<SerialQueue> queue) {
    return outputs_->add(std::move(output), type, std::move(queue));
}

void X11CaptureStream::startCapture(CaptureCompletion completion) {
    control_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        self->begin(std::move(completion));
    });
}

void X11CaptureStream::stopCapture(CaptureCompletion completion) {
    control_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        self->end(std::move(completion));
    });
}

uint64_t X11CaptureStream::skippedGrabs() const {
    std::lock_guard lock(sessionMutex_);
    return session_ ? session_->skippedGrabs() : 0;
}

uint64_t X11CaptureStream::deliveredFrames() const {
    std::lock_guard lock(sessionMutex_);
    return session_ ? session_->deliveredFrames() : 0;
}

void X11CaptureStream::begin(CaptureCompletion completion) {
    if (state_ != State::idle) {
        completion(invalidState("The stream was already started."));
        return;
    }
    state_ = State::stopped;  // a failed start spends the stream
    if (!filter_) {
        completion(invalidState("The stream has no content filter."));
        return;
    }
    ErrorRef error;
    std::shared_ptr<CaptureSession> session =
        CaptureSession::open(sessionSettings(*filter_, configuration_, environment_), error);
    if (!session) {
        completion(error);
        return;
    }
    if (configuration_.capturesAudio) {
        if (ErrorRef audioError = startAudio(session)) {
            completion(audioError);
            return;
        }
    }
    std::weak_ptr<CaptureStream> stream = weak_from_this();
    std::weak_ptr<X11CaptureStream> self = weak_from_this();
    session->start(
        [outputs = outputs_, stream](SampleBufferRef frame) {
            outputs->deliver(StreamOutputType::screen, std::move(frame), stream);
        },
        [self](ErrorRef stopError) {
            if (auto strong = self.lock()) {
                strong->reportStop(stopError);
            }
        });
    {
        std::lock_guard lock(sessionMutex_);
        session_ = std::move(session);
    }
    state_ = State::running;
    completion(nullptr);
}

ErrorRef X11CaptureStream::startAudio(const std::shared_ptr<CaptureSession>& session) {
    std::unique_ptr<AudioSource> source =
        environment_.audioSourceFactory ? environment_.audioSourceFactory() : nullptr;
    if (!source) {
        return makeX11CaptureError(X11CaptureErrorCode::noAudioSource,
                                   "No source for the system's sound is available.");
    }
    std::weak_ptr<CaptureStream> stream = weak_from_this();
    std::weak_ptr<CaptureSession> weakSession = session;
    ErrorRef error = source->start(
        [outputs = outputs_, stream](SampleBufferRef block) {
            outputs->deliver(StreamOutputType::audio, std::move(block), stream);
        },
        [weakSession](ErrorRef lost) {
            // Losing the sound ends the whole stream; the capture thread tells the delegate.
            if (auto strong = weakSession.lock()) {
                strong->fail(std::move(lost));
            }
        });
    if (error) {
        return error;
    }
    audio_ = std::move(source);
    return nullptr;
}

void X11CaptureStream::end(CaptureCompletion completion) {
    if (state_ != State::running) {
        completion(invalidState("The stream is not capturing."));
        return;
    }
    state_ = State::stopped;
    std::shared_ptr<CaptureSession> session;
    {
        std::lock_guard lock(sessionMutex_);
        session = session_;
    }
    session->stop();
    haltAudio();
    completion(nullptr);
}

void X11CaptureStream::haltAudio() {
    if (audio_) {
        audio_->stop();
    }
}

void X11CaptureStream::reportStop(const ErrorRef& error) {
    if (auto delegate = delegate_.lock()) {
        delegate->streamDidStop(*this, error);
    }
    control_->async([self = shared_from_this()] { self->haltAudio(); });
}

}  // namespace vantorel
