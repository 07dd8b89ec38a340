#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

#include "capture/capture_source.h"
#include "capture/mp4_writer.h"
#include "capture/recorder_config.h"
#include "capture/recording_intake.h"
#include "capture/stop_result.h"
#include "platform/host_clock.h"

namespace vantorel {

// One recording: a capture source feeding an MP4 writer, from start to a kept file or to no file
// at all.
//
// Threads. The recorder belongs to the main thread: start and stop are called there and every
// signal comes from there. A recording makes no thread of its own; its parts bring theirs:
//   - the source's grab thread delivers frames, and the sound client's thread (libpulse's main
//     loop) delivers sound; both go through the intake into the writer's queues and return at
//     once, so a frame is in the writer's hands when the grab thread lets go of it (the writer
//     converts a picture to YUV on the grab thread, so the source has its buffer back). On X11 the
//     grab thread is the source's own ("Vantorel.x11grb"); on Wayland it is the PipeWire
//     stream's thread loop ("Vantorel.pwgrab"), and the portal answers on the main thread
//     (libpipewire adds a data-loop thread of its own to each context, which stays idle: the
//     stream is not a realtime one, so its buffers are handled on the thread loop);
//   - the writer encodes each track on a thread of its own (with the encoder library's workers)
//     and finishes the file on one of them.
// The answers of those threads (the writer is open, the source runs, a failure, the file is
// finished) are posted to the main thread and come out as the signals below.
class Recorder final : public QObject {
    Q_OBJECT

  public:
    Recorder(CaptureSourceFactory makeSource, Mp4WriterFactory makeWriter,
             std::shared_ptr<const HostClock> clock, QObject* parent = nullptr);
    // A recording that was started and never stopped is abandoned: its file is removed.
    ~Recorder() override;

    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates the file, opens the encoders and starts the capture; answers started() or
    // startFailed(). Called once.
    void start(const RecorderConfig& config);
    // Stops capturing and finishes the file; answers finished(). Called after started(); a second
    // stop answers that nothing was recording.
    void stop();

  signals:
    void started();
    // Nothing is left running and no file is left behind.
    void startFailed(const vantorel::Error& error);
    // Writing or capturing failed while recording; at most once per recording. The recording
    // still has to be stopped, which keeps what was written when it can.
    void failed(const vantorel::Error& error);
    void finished(const vantorel::StopResult& result);

  private:
    enum class State { idle, opening, starting, recording, finishing, done };

    void writerOpened(const std::optional<Error>& error);
    void sourceStarted(const std::optional<Error>& error);
    void failStart(const Error& error);
    void writerFinished(const std::optional<Error>& error);
    // Removes what a start left: the capture, the writer and its file.
    void abandon();
    void answerLater(const StopResult& result);

    const CaptureSourceFactory makeSource_;
    const Mp4WriterFactory makeWriter_;
    const std::shared_ptr<const HostClock> clock_;

    State state_ = State::idle;
    RecorderConfig config_;
    // In this order: the intake talks to the writer, and the source to the intake.
    std::unique_ptr<Mp4Writer> writer_;
    std::unique_ptr<RecordingIntake> intake_;
    std::unique_ptr<CaptureSource> source_;
};

}  // namespace vantorel
