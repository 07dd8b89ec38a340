#include "capture/recorder.h"

#include <atomic>
#include <system_error>
#include <utility>

#include "capture/one_shot.h"
#include "capture/recorder_error.h"
#include "capture/recorder_settings.h"
#include "capture/sample_rules.h"
#include "platform/file_identity.h"

namespace vantorel {

namespace {

ErrorRef orWriterFailed(ErrorRef error) {
    return error ? std::move(error) : RecorderError::writerFailed();
}

ErrorRef writerErrorOrFailed(const MediaWriter& writer) {
    return orWriterFailed(writer.error());
}

// Only a broken stream drops its start completion without answering; treat it as a refusal.
ErrorRef unansweredStart() {
    return PlatformError::make("CaptureStream", -1,
                               "The capture stream did not answer the request to start.");
}

// The last step of finishing, run by the writer's completion on a thread of the writer's own.
// A writer that drops its completion without running it is taken as a failed finish, so that
// no half-written file is left even then.
class FinishAnswer {
  public:
    FinishAnswer(std::shared_ptr<MediaWriter> writer, std::filesystem::path url,
                 std::optional<FileIdentity> identity, std::function<void(StopResult)> deliver)
        : writer_(std::move(writer)),
          url_(std::move(url)),
          identity_(identity),
          deliver_(std::move(deliver)) {}
    FinishAnswer(const FinishAnswer&) = delete;
    FinishAnswer& operator=(const FinishAnswer&) = delete;
    ~FinishAnswer() { answer(); }

    // Called on the writer's thread.
    void answer() {
        if (answered_.exchange(true)) {
            return;
        }
        if (writer_->status() == WriterStatus::completed) {
            deliver_(StopResult{url_, nullptr});
            return;
        }
        removeIfStill(url_, identity_);
        deliver_(StopResult{std::nullopt, writerErrorOrFailed(*writer_)});
    }

  private:
    std::shared_ptr<MediaWriter> writer_;
    std::filesystem::path url_;
    std::optional<FileIdentity> identity_;
    std::function<void(StopResult)> deliver_;
    std::atomic<bool> answered_{false};
};

}  // namespace

std::shared_ptr<Recorder> Recorder::make(RecorderServices services) {
    return std::shared_ptr<Recorder>(new Recorder(std::move(services)));
}

Recorder::Recorder(RecorderServices services)
    : services_(std::move(services)),
      sampleQueue_(std::make_shared<SerialQueue>("Vantorel.samples")),
      control_(std::make_unique<SerialQueue>("Vantorel.control")) {}

Recorder::~Recorder() {
    // Every pending task holds the recorder, so nothing else can reach the writing state now.
    // A recording that was started and never stopped is abandoned, not kept half-written.
    stream_.reset();
    if (writer_ && outputURL_) {
        writer_->cancelWriting();
        removeIfStill(*outputURL_, outputIdentity_);
    }
}

void Recorder::setOnFailure(FailureCallback callback) {
    sampleQueue_->async([self = shared_from_this(), callback = std::move(callback)]() mutable {
        self->onFailure_ = std::move(callback);
    });
}

void Recorder::start(const RecorderConfig& config, StartCompletion completion) {
    control_->async(
        [self = shared_from_this(), config, completion = std::move(completion)]() mutable {
            ErrorRef error = self->runStart(config);
            // Let go before answering: an owner that drops the recorder once it has the answer
            // should not find it still alive on this thread.
            self.reset();
            if (completion) {
                completion(std::move(error));
            }
        });
}

void Recorder::stop(StopCompletion completion) {
    control_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        StopResult result = self->runStop();
        self.reset();
        if (completion) {
            completion(std::move(result));
        }
    });
}

ErrorRef Recorder::runStart(const RecorderConfig& config) {
    if (ErrorRef error = openWriter(config)) {
        return error;
    }
    return openStream(config);
}

ErrorRef Recorder::openWriter(const RecorderConfig& config) {
    ErrorRef creationError;
    const std::shared_ptr<MediaWriter> writer =
        services_.writerFactory->makeWriter(config.outputURL, creationError);
    if (!writer) {
        return RecorderError::cannotWrite(orWriterFailed(creationError));
    }
    // The writer has just created the file: whatever is at the path now is ours. Only that file
    // is ever removed, never one that takes its name later.
    const std::optional<FileIdentity> identity = identityOf(config.outputURL);

    const std::shared_ptr<WriterInput> video = writer->makeVideoInput(videoSettingsFor(config));
    if (video) {
        video->setExpectsMediaDataInRealTime(true);
    }
    if (!video || !writer->canAddInput(*video)) {
        return RecorderError::cannotWrite(writerErrorOrFailed(*writer));
    }
    writer->addInput(video);

    // A refused sound track is no reason to give up the picture.
    std::shared_ptr<WriterInput> audio;
    if (config.capturesAudio) {
        audio = writer->makeAudioInput(audioSettings());
        if (audio) {
            audio->setExpectsMediaDataInRealTime(true);
        }
        if (audio && writer->canAddInput(*audio)) {
            writer->addInput(audio);
        } else {
            audio.reset();
        }
    }

    if (!writer->startWriting()) {
        return RecorderError::cannotWrite(writerErrorOrFailed(*writer));
    }

    // Committed on the sample queue before any stream exists, so the first buffer can never
    // find a half-built writing state.
    runOnSampleQueue([this, writer, video, audio, url = config.outputURL, identity] {
        writer_ = writer;
        videoInput_ = video;
        audioInput_ = audio;
        outputURL_ = url;
        outputIdentity_ = identity;
        sessionStart_ = MediaTime::invalid();
        lastVideoTime_ = MediaTime::invalid();
        reportedFailure_ = false;
    });
    return nullptr;
}

ErrorRef Recorder::openStream(const RecorderConfig& config) {
    const std::shared_ptr<CaptureStream> stream =
        services_.captureService->makeStream(config.filter, streamConfigurationFor(config),
                                             std::weak_ptr<StreamDelegate>(weak_from_this()));
    if (!stream) {
        cleanUpAfterStreamFailure(config.outputURL);
        return unansweredStart();
    }

    const std::weak_ptr<StreamOutput> output = weak_from_this();
    ErrorRef error = stream->addStreamOutput(output, StreamOutputType::screen, sampleQueue_);
    if (!error && config.capturesAudio) {
        error = stream->addStreamOutput(output, StreamOutputType::audio, sampleQueue_);
    }
    if (!error) {
        auto [started, answer] = OneShot<ErrorRef>::make();
        stream->startCapture(std::move(started));
        std::optional<ErrorRef> reply = answer->wait();
        error = reply ? std::move(*reply) : unansweredStart();
    }
    if (error) {
        cleanUpAfterStreamFailure(config.outputURL);
        return error;
    }
    stream_ = stream;
    return nullptr;
}

void Recorder::cleanUpAfterStreamFailure(const std::filesystem::path& path) {
    runOnSampleQueue([this, path] {
        if (writer_) {
            writer_->cancelWriting();
        }
        removeIfStill(path, outputIdentity_);
        writer_.reset();
        videoInput_.reset();
        audioInput_.reset();
    });
}

StopResult Recorder::runStop() {
    if (stream_) {
        auto [stopped, answer] = OneShot<ErrorRef>::make();
        stream_->stopCapture(std::move(stopped));
        // What was written is finished whatever the stream says: a stream that already stopped
        // by itself may well refuse a second stop.
        static_cast<void>(answer->wait());
        stream_.reset();
    }
    return finish();
}

StopResult Recorder::finish() {
    auto [deliver, answer] = OneShot<StopResult>::make();
    // Queued behind every buffer the stream delivered before it stopped, so they reach the file.
    sampleQueue_->async([self = shared_from_this(), deliver = std::move(deliver)] {
        self->finishOnSampleQueue(deliver);
    });
    std::optional<StopResult> result = answer->wait();
    return result ? std::move(*result) : StopResult{std::nullopt, RecorderError::writerFailed()};
}

void Recorder::runOnSampleQueue(std::function<void()> work) {
    auto [done, answer] = OneShot<bool>::make();
    sampleQueue_->async([work = std::move(work), done = std::move(done)] {
        work();
        done(true);
    });
    static_cast<void>(answer->wait());
}

void Recorder::finishOnSampleQueue(std::function<void(StopResult)> deliver) {
    if (!writer_ || !outputURL_) {
        deliver(StopResult{});
        return;
    }
    // From here on, late buffers find no writer and are dropped.
    const std::shared_ptr<MediaWriter> writer = std::exchange(writer_, nullptr);
    const std::filesystem::path url = *outputURL_;

    if (writer->status() == WriterStatus::failed) {
        ErrorRef error = writerErrorOrFailed(*writer);
        removeIfStill(url, outputIdentity_);
        deliver(StopResult{std::nullopt, std::move(error)});
        return;
    }
    if (!sessionStart_.isValid()) {
        writer->cancelWriting();
        removeIfStill(url, outputIdentity_);
        deliver(StopResult{std::nullopt, RecorderError::noFrames()});
        return;
    }

    if (videoInput_) {
        videoInput_->markAsFinished();
    }
    if (audioInput_) {
        audioInput_->markAsFinished();
    }
    const MediaTime now = services_.clock ? services_.clock->now() : MediaTime::invalid();
    writer->endSession(sessionEndTime(now, lastVideoTime_));

    // The completion keeps the writer alive until it has answered; the writer lets go of the
    // completion once it has run it.
    auto answer = std::make_shared<FinishAnswer>(writer, url, outputIdentity_, std::move(deliver));
    writer->finishWriting([answer] { answer->answer(); });
    videoInput_.reset();
    audioInput_.reset();
}

void Recorder::streamDidOutput(CaptureStream& /*stream*/, const SampleBufferRef& buffer,
                               StreamOutputType type) {
    if (!buffer || !buffer->isValid() || !writer_) {
        return;
    }
    const WriterStatus status = writer_->status();
    if (status == WriterStatus::failed) {
        reportFailure(writerErrorOrFailed(*writer_));
        return;
    }
    if (status != WriterStatus::writing) {
        return;
    }
    switch (type) {
        case StreamOutputType::audio:
            takeSound(buffer);
            return;
        case StreamOutputType::screen:
            takeFrame(buffer);
            return;
    }
    // Any other kind of output is not ours to write.
}

void Recorder::takeSound(const SampleBufferRef& buffer) {
    // Sound never starts before the first picture.
    if (!sessionStart_.isValid() || !audioInput_) {
        return;
    }
    if (compare(buffer->presentationTime(), sessionStart_) < 0) {
        return;
    }
    // Sound that the encoder cannot take at once is lost rather than queued; a refused block
    // leaves nothing to correct.
    if (audioInput_->isReadyForMoreMediaData()) {
        static_cast<void>(audioInput_->append(buffer));
    }
}

void Recorder::takeFrame(const SampleBufferRef& buffer) {
    if (!isCompleteFrame(*buffer) || !videoInput_) {
        return;
    }
    const MediaTime time = buffer->presentationTime();
    if (!sessionStart_.isValid()) {
        // The timeline starts at the first complete frame even if the encoder is too busy to
        // take that frame itself.
        sessionStart_ = time;
        writer_->startSession(time);
    }
    if (videoInput_->isReadyForMoreMediaData() && videoInput_->append(buffer)) {
        lastVideoTime_ = time;
    }
}

void Recorder::reportFailure(const ErrorRef& error) {
    // The writer's failure and the stream's own stop share this flag: the owner hears of at
    // most one failure per recording, whichever came first.
    if (reportedFailure_) {
        return;
    }
    reportedFailure_ = true;
    if (onFailure_) {
        onFailure_(error);
    }
}

void Recorder::streamDidStop(CaptureStream& /*stream*/, const ErrorRef& error) {
    sampleQueue_->async([self = shared_from_this(), error] { self->reportFailure(error); });
}

CaptureEngineFactory makeRecorderFactory(RecorderServices services) {
    return [services = std::move(services)]() -> std::shared_ptr<CaptureEngine> {
        return Recorder::make(services);
    };
}

}  // namespace vantorel
