#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/failure_alerts.h"
#include "app/phase.h"
#include "app/recording_windows.h"
#include "capture/capture_source.h"
#include "capture/mp4_writer.h"
#include "capture/stop_result.h"
#include "platform/host_clock.h"

namespace vantorel {

class Notifier;
class PreferenceStore;
class Presenter;
class Recorder;

// How long the flow's second lasts: the countdown's steps and the elapsed-time tick are
// counted in it. Tests shorten it.
struct FlowPacing {
    std::chrono::milliseconds second{1000};
};

// One recording at a time, from the menu's toggle to the saved file: the selection, the
// countdown, the capture with its indicators, every way it stops, and what the user is told.
// Main thread only.
class RecordingFlow final : public QObject {
    Q_OBJECT

  public:
    // What the flow uses from outside; the referenced objects outlive it.
    struct Services {
        PreferenceStore* store = nullptr;
        Presenter* presenter = nullptr;
        Notifier* notifier = nullptr;
        RecordingWindows windows;
        // The engine's parts: each recording gets a Recorder of its own made from them.
        CaptureSourceFactory makeSource;
        Mp4WriterFactory makeWriter;
        std::shared_ptr<const HostClock> clock;
        // Bytes free for the user on the volume holding a folder; nothing when unreadable.
        std::function<std::optional<int64_t>(const QString& folder)> freeBytes;
        FlowPacing pacing;
    };

    explicit RecordingFlow(Services services, QObject* parent = nullptr);
    // A recording still running is abandoned, and its file removed.
    ~RecordingFlow() override;

    RecordingFlow(const RecordingFlow&) = delete;
    RecordingFlow& operator=(const RecordingFlow&) = delete;

    Phase phase() const { return phase_; }
    // Whether the running recording has its stop button on screen.
    bool showsStopButton() const { return stopButton_ != nullptr; }

    // The menu's first item and the hot key: starts a selection, cancels it, or stops the
    // recording; nothing while it counts down or saves.
    void toggle();
    // The machine is about to sleep: a running recording is stopped and saved.
    void stopForSleep();
    // The program is to end: what can end ends at once, a recording is finished first (without
    // alerts), and quitReady() follows once nothing is left running.
    void quit();

  signals:
    void phaseChanged(vantorel::Phase phase);
    // Each second of a recording: the whole seconds recorded so far.
    void elapsedChanged(qint64 seconds);
    void quitReady();

  private:
    // One step on the way from a confirmed region to the capture's start, taken after waiting
    // `seconds` of the flow's pacing.
    struct Step {
        enum class Action { showNumber, takePanelDown, startCapture };
        double seconds = 0;
        Action action = Action::startCapture;
        int number = 0;  // the countdown's number, for showNumber
    };
    static std::vector<Step> stepsToStart(bool countsDown);

    void setPhase(Phase phase);
    void startSelection();
    void selectionConfirmed(const Selection& selection);
    void selectionCancelled();
    void waitForNextStep();
    void takeStep();
    void startCapture();
    void captureStarted();
    void captureFailedToStart(const Error& error);
    void tick();
    void stop(StopReason reason, const std::optional<QString>& details = std::nullopt);
    void recordingFinished(const StopResult& result);
    void endCountdown();
    void closeIndicators();
    void releaseOverlay();
    void releaseRecorder();
    void showAlert(const FailureAlert& alert);

    Services services_;
    Phase phase_ = Phase::idle;
    bool quitting_ = false;

    std::unique_ptr<SelectionOverlay> overlay_;
    Selection selection_;
    // The way from a confirmed region to the capture's start, walked by one timer.
    std::vector<Step> steps_;
    size_t nextStep_ = 0;
    QTimer stepTimer_;
    std::unique_ptr<CountdownPanel> countdown_;

    std::unique_ptr<IndicatorWindow> outline_;
    std::unique_ptr<StopButton> stopButton_;
    std::unique_ptr<Recorder> recorder_;
    std::optional<QString> path_;
    QTimer tickTimer_;
    QElapsedTimer elapsed_;
    StopReason stopReason_ = StopReason::user;
    std::optional<QString> stopDetails_;
};

}  // namespace vantorel
