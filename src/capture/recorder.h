#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "capture/capture_engine.h"
#include "capture/recorder_config.h"
#include "capture/stop_result.h"
#include "platform/capture_service.h"
#include "platform/error.h"
#include "platform/file_identity.h"
#include "platform/host_clock.h"
#include "platform/media_time.h"
#include "platform/media_writer.h"
#include "platform/sample_buffer.h"
#include "platform/serial_queue.h"

namespace vantorel {

// The platform services one recording is made with.
struct RecorderServices {
    std::shared_ptr<CaptureService> captureService;
    std::shared_ptr<MediaWriterFactory> writerFactory;
    std::shared_ptr<const HostClock> clock;
};

// One recording: a capture stream feeding a media writer that encodes into one MPEG-4 file.
//
// Threads. `start` and `stop` run, one after the other, on the recorder's own control thread.
// Once `start` has opened the writer, the writing state (writer, inputs, times, the failure
// flag) is touched only on `sampleQueue`, where every buffer arrives and where the file is
// finished; so intake and finishing never overlap and need no lock. Every pending operation
// holds the recorder, so the owner may let go of it at any time.
class Recorder final : public CaptureEngine,
                       public StreamOutput,
                       public StreamDelegate,
                       public std::enable_shared_from_this<Recorder> {
  public:
    // Called on any thread.
    static std::shared_ptr<Recorder> make(RecorderServices services);
    // A started recording that is dropped without a stop leaves no file behind.
    ~Recorder() override;

    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Called on the owner's thread, before start().
    void setOnFailure(FailureCallback callback) override;
    // Called on the owner's thread, once. The completion runs on the control thread and must
    // not wait for another operation of this recorder.
    void start(const RecorderConfig& config, StartCompletion completion) override;
    // Called on the owner's thread; a second call answers that nothing was recording.
    void stop(StopCompletion completion) override;

    // Called by the stream on `sampleQueue`, one buffer at a time.
    void streamDidOutput(CaptureStream& stream, const SampleBufferRef& buffer,
                         StreamOutputType type) override;
    // Called by the stream on a thread of its own, when it stopped without being asked to.
    void streamDidStop(CaptureStream& stream, const ErrorRef& error) override;

    // The queue of every buffer and of the finishing step. Called on any thread.
    const std::shared_ptr<SerialQueue>& sampleQueue() const { return sampleQueue_; }

  private:
    explicit Recorder(RecorderServices services);

    // Control thread.
    ErrorRef runStart(const RecorderConfig& config);
    ErrorRef openWriter(const RecorderConfig& config);
    ErrorRef openStream(const RecorderConfig& config);
    void cleanUpAfterStreamFailure(const std::filesystem::path& path);
    StopResult runStop();
    StopResult finish();
    // Runs `work` on sampleQueue and waits until it has run. Control thread.
    void runOnSampleQueue(std::function<void()> work);

    // Sample queue.
    void takeSound(const SampleBufferRef& buffer);
    void takeFrame(const SampleBufferRef& buffer);
    void reportFailure(const ErrorRef& error);
    void finishOnSampleQueue(std::function<void(StopResult)> deliver);

    const RecorderServices services_;
    const std::shared_ptr<SerialQueue> sampleQueue_;

    // The writing state: committed by start before any stream exists, then sample queue only.
    std::shared_ptr<MediaWriter> writer_;
    std::shared_ptr<WriterInput> videoInput_;
    std::shared_ptr<WriterInput> audioInput_;
    std::optional<std::filesystem::path> outputURL_;
    std::optional<FileIdentity> outputIdentity_;
    MediaTime sessionStart_ = MediaTime::invalid();
    MediaTime lastVideoTime_ = MediaTime::invalid();
    bool reportedFailure_ = false;
    FailureCallback onFailure_;  // sample queue only

    std::shared_ptr<CaptureStream> stream_;  // control thread only

    // Runs start and stop one after the other, so that a stop asked for while the start is
    // still waiting for the stream is answered after it.
    const std::unique_ptr<SerialQueue> control_;
};

// Makes a fresh recorder for every recording. Called on any thread.
CaptureEngineFactory makeRecorderFactory(RecorderServices services);

}  // namespace vantorel
