#include "capture/recorder.h"

#include <QCoreApplication>

#include <thread>

#include "capture/recorder_settings.h"
#include "platform/main_thread.h"

namespace vantorel {

namespace {

Error noFrames() {
    return Error{Error::Kind::noFrames,
                 QCoreApplication::translate(
                     "Recorder", "No video frames were captured, so no file was saved."),
                 {}};
}

}  // namespace

Recorder::Recorder(CaptureSourceFactory makeSource, Mp4WriterFactory makeWriter,
                   std::shared_ptr<const HostClock> clock, QObject* parent)
    : QObject(parent),
      makeSource_(std::move(makeSource)),
      makeWriter_(std::move(makeWriter)),
      clock_(std::move(clock)) {}

Recorder::~Recorder() {
    abandon();
}

void Recorder::start(const RecorderConfig& config) {
    if (state_ != State::idle) {
        return;
    }
    config_ = config;
    std::optional<Error> error;
    writer_ = makeWriter_(writerSettingsFor(config, std::thread::hardware_concurrency()), error);
    if (!writer_) {
        failStart(error.value_or(Error{Error::Kind::cannotWrite, {}, {}}));
        return;
    }
    state_ = State::opening;
    writer_->open([self = QPointer(this)](std::optional<Error> opened) {
        postToMain([self, opened = std::move(opened)] {
            if (Recorder* recorder = self.data()) {
                recorder->writerOpened(opened);
            }
        });
    });
}

void Recorder::writerOpened(const std::optional<Error>& error) {
    if (state_ != State::opening) {
        return;
    }
    if (error) {
        failStart(*error);
        return;
    }
    state_ = State::starting;
    // The intake reports a failure on the thread that found it; the signal comes from here.
    intake_ = std::make_unique<RecordingIntake>(*writer_, [self = QPointer(this)](const Error& e) {
        postToMain([self, e] {
            if (Recorder* recorder = self.data();
                recorder && recorder->state_ == State::recording) {
                emit recorder->failed(e);
            }
        });
    });
    source_ = makeSource_();
    source_->start(config_.capture, *intake_, [self = QPointer(this)](std::optional<Error> e) {
        postToMain([self, e = std::move(e)] {
            if (Recorder* recorder = self.data()) {
                recorder->sourceStarted(e);
            }
        });
    });
}

void Recorder::sourceStarted(const std::optional<Error>& error) {
    if (state_ != State::starting) {
        return;
    }
    if (error) {
        failStart(*error);
        return;
    }
    state_ = State::recording;
    emit started();
}

void Recorder::failStart(const Error& error) {
    abandon();
    state_ = State::done;
    emit startFailed(error);
}

void Recorder::stop() {
    if (state_ != State::recording) {
        answerLater(StopResult{});
        return;
    }
    state_ = State::finishing;
    // Every frame and block the source captured before this returns is in the writer's queues.
    source_->stop();
    const std::optional<Error> failure = writer_->failure();
    if (failure || !intake_->sessionStart()) {
        abandon();
        state_ = State::done;
        answerLater(StopResult{std::nullopt, failure ? *failure : noFrames()});
        return;
    }
    const int64_t end = intake_->sessionEnd(clock_ ? clock_->nowNs() : std::nullopt);
    writer_->finish(end, [self = QPointer(this)](std::optional<Error> finished) {
        postToMain([self, finished = std::move(finished)] {
            if (Recorder* recorder = self.data()) {
                recorder->writerFinished(finished);
            }
        });
    });
}

void Recorder::writerFinished(const std::optional<Error>& error) {
    if (state_ != State::finishing) {
        return;
    }
    state_ = State::done;
    source_.reset();
    intake_.reset();
    writer_.reset();
    emit finished(error ? StopResult{std::nullopt, error} : StopResult{config_.outputPath, {}});
}

void Recorder::abandon() {
    if (source_) {
        source_->stop();
        source_.reset();
    }
    intake_.reset();
    if (writer_) {
        writer_->cancel();
        writer_.reset();
    }
}

void Recorder::answerLater(const StopResult& result) {
    // Answers come from the event loop, as they do when the writer has work to finish.
    QMetaObject::invokeMethod(
        this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
}

}  // namespace vantorel
