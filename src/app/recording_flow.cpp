#include "app/recording_flow.h"

#include <QFileInfo>

#include "app/folder_checks.h"
#include "capture/recorder.h"
#include "feedback/alerts.h"
#include "feedback/notifier.h"
#include "platform/preference_store.h"
#include "prefs/preferences.h"

namespace vantorel {

namespace {

// What the engine is asked to record for `selection`: its rectangle in the screen's device
// pixels, delivered at the selection's pixel size.
RecorderConfig configFor(const Selection& selection, const PreferenceStore& store,
                         const QString& path) {
    const double scale = selection.screen ? selection.screen->devicePixelRatio() : 1.0;
    const QRectF& rect = selection.rect;
    CaptureRequest request;
    request.monitor = selection.screen ? selection.screen->name() : QString();
    request.region = QRect(qRound(rect.x() * scale), qRound(rect.y() * scale),
                           qRound(rect.width() * scale), qRound(rect.height() * scale));
    request.frameSize =
        QSize(static_cast<int>(selection.pixelWidth), static_cast<int>(selection.pixelHeight));
    request.frameRate = store.integer(Preferences::kFrameRate) == 60 ? 60 : 30;
    request.showsCursor = store.boolean(Preferences::kShowsCursor);
    request.capturesSound = store.boolean(Preferences::kRecordSystemSound);
    return RecorderConfig{request, path};
}

}  // namespace

// A short pause lets the overlay (and then the countdown) leave the screen before the capture
// can see it.
std::vector<RecordingFlow::Step> RecordingFlow::stepsToStart(bool countsDown) {
    using Action = Step::Action;
    if (!countsDown) {
        return {{0.2, Action::startCapture}};
    }
    return {{0.2, Action::showNumber, 3},
            {1.0, Action::showNumber, 2},
            {1.0, Action::showNumber, 1},
            {1.0, Action::takePanelDown},
            {0.2, Action::startCapture}};
}

RecordingFlow::RecordingFlow(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {
    stepTimer_.setSingleShot(true);
    stepTimer_.setTimerType(Qt::PreciseTimer);
    connect(&stepTimer_, &QTimer::timeout, this, &RecordingFlow::takeStep);
    // Precise, so that a tick never lands twice within the same second.
    tickTimer_.setTimerType(Qt::PreciseTimer);
    tickTimer_.setInterval(services_.pacing.second);
    connect(&tickTimer_, &QTimer::timeout, this, &RecordingFlow::tick);
}

RecordingFlow::~RecordingFlow() {
    if (overlay_) {
        overlay_->close();
    }
    endCountdown();
    closeIndicators();
}

void RecordingFlow::setPhase(Phase phase) {
    if (phase != phase_) {
        phase_ = phase;
        emit phaseChanged(phase);
    }
}

void RecordingFlow::toggle() {
    switch (phase_) {
        case Phase::idle:
            startSelection();
            break;
        case Phase::selecting:
            overlay_->cancel();
            break;
        case Phase::recording:
            stop(StopReason::user);
            break;
        case Phase::countdown:
        case Phase::stopping:
            break;
    }
}

void RecordingFlow::startIfIdle() {
    if (phase_ == Phase::idle) {
        toggle();
    }
}

void RecordingFlow::stopIfActive() {
    if (phase_ == Phase::selecting || phase_ == Phase::recording) {
        toggle();
    }
}

void RecordingFlow::stopForSleep() {
    stop(StopReason::sleep);
}

void RecordingFlow::quit() {
    quitting_ = true;
    switch (phase_) {
        case Phase::selecting:
            overlay_->close();
            releaseOverlay();
            break;
        case Phase::countdown:
            // Once the capture is starting its file exists: ending now would leave a broken
            // file behind, so the start is waited for and the recording finished as any other.
            if (recorder_) {
                return;
            }
            endCountdown();
            break;
        case Phase::recording:
            stop(StopReason::user);
            return;
        case Phase::stopping:
            return;
        case Phase::idle:
            break;
    }
    setPhase(Phase::idle);
    emit quitReady();
}

void RecordingFlow::startSelection() {
    const QString folder = Preferences::saveFolder(*services_.store);
    if (const std::optional<QString> problem = prepareFolder(folder)) {
        showAlert(FailureAlerts::folderUnusable(folder, *problem));
        return;
    }
    overlay_ = services_.windows.overlay();
    connect(overlay_.get(), &SelectionOverlay::confirmed, this, &RecordingFlow::selectionConfirmed);
    connect(overlay_.get(), &SelectionOverlay::cancelled, this, &RecordingFlow::selectionCancelled);
    setPhase(Phase::selecting);
    overlay_->show();
}

void RecordingFlow::selectionCancelled() {
    releaseOverlay();
    setPhase(Phase::idle);
}

void RecordingFlow::selectionConfirmed(const Selection& selection) {
    releaseOverlay();
    selection_ = selection;
    services_.store->setInteger(Preferences::kLastWidth, selection.pixelWidth);
    services_.store->setInteger(Preferences::kLastHeight, selection.pixelHeight);
    steps_ = stepsToStart(services_.store->integer(Preferences::kCountdownSeconds) != 0);
    nextStep_ = 0;
    setPhase(Phase::countdown);
    waitForNextStep();
}

void RecordingFlow::waitForNextStep() {
    const std::chrono::duration<double, std::milli> wait =
        steps_.at(nextStep_).seconds * services_.pacing.second;
    stepTimer_.start(std::chrono::round<std::chrono::milliseconds>(wait));
}

void RecordingFlow::takeStep() {
    const Step step = steps_.at(nextStep_++);
    switch (step.action) {
        case Step::Action::showNumber:
            if (!countdown_) {
                countdown_ = services_.windows.countdown(selection_);
                countdown_->show(step.number);
            } else {
                countdown_->setNumber(step.number);
            }
            break;
        case Step::Action::takePanelDown:
            endCountdown();
            break;
        case Step::Action::startCapture:
            startCapture();
            return;
    }
    waitForNextStep();
}

void RecordingFlow::endCountdown() {
    stepTimer_.stop();
    if (countdown_) {
        countdown_->close();
        countdown_.reset();
    }
}

void RecordingFlow::startCapture() {
    const QString path = Preferences::nextFilePath(*services_.store);
    outline_ = services_.windows.outline(selection_);
    if (outline_) {
        outline_->showOnTop();
    }
    stopButton_ = services_.windows.stopButton(selection_);
    if (stopButton_) {
        connect(stopButton_.get(), &StopButton::clicked, this, [this] { stop(StopReason::user); });
        stopButton_->showOnTop();
    }
    path_ = path;
    recorder_ =
        std::make_unique<Recorder>(services_.makeSource, services_.makeWriter, services_.clock);
    connect(recorder_.get(), &Recorder::started, this, &RecordingFlow::captureStarted);
    connect(recorder_.get(), &Recorder::startFailed, this, &RecordingFlow::captureFailedToStart);
    connect(recorder_.get(), &Recorder::failed, this,
            [this](const Error& error) { stop(StopReason::captureFailure, error.details()); });
    connect(recorder_.get(), &Recorder::finished, this, &RecordingFlow::recordingFinished);
    recorder_->start(configFor(selection_, *services_.store, path));
}

void RecordingFlow::captureStarted() {
    elapsed_.start();
    tickTimer_.start();
    setPhase(Phase::recording);
    if (quitting_) {
        stop(StopReason::user);  // the quit came while the capture was starting
    }
}

void RecordingFlow::captureFailedToStart(const Error& error) {
    releaseRecorder();
    closeIndicators();
    setPhase(Phase::idle);
    if (quitting_) {
        emit quitReady();
        return;
    }
    showAlert(FailureAlerts::startFailed(error, Preferences::saveFolder(*services_.store)));
}

void RecordingFlow::tick() {
    const qint64 second = services_.pacing.second.count();
    emit elapsedChanged((elapsed_.elapsed() + second / 2) / second);
    if (path_ && isLowOnSpace(services_.freeBytes(QFileInfo(*path_).absolutePath()))) {
        stop(StopReason::lowSpace);
    }
}

void RecordingFlow::stop(StopReason reason, const std::optional<QString>& details) {
    if (phase_ != Phase::recording) {
        return;
    }
    stopReason_ = reason;
    stopDetails_ = details;
    tickTimer_.stop();
    closeIndicators();
    setPhase(Phase::stopping);
    recorder_->stop();
}

void RecordingFlow::recordingFinished(const StopResult& result) {
    releaseRecorder();
    if (result.path) {
        Preferences::addRecent(*services_.store, *result.path);
    }
    setPhase(Phase::idle);
    if (result.path) {
        services_.notifier->notifyFile(FileNews::saved, *result.path);
    }
    if (quitting_) {
        emit quitReady();
        return;
    }
    if (!result.path) {
        showAlert(FailureAlerts::notSaved(stopReason_, stopDetails_, result.error));
    } else if (const auto alert = FailureAlerts::stopped(stopReason_, stopDetails_)) {
        showAlert(*alert);
    }
}

void RecordingFlow::closeIndicators() {
    if (outline_) {
        outline_->close();
        outline_.reset();
    }
    if (stopButton_) {
        // Commonly reached from the button's own click.
        stopButton_->disconnect(this);
        stopButton_->close();
        stopButton_.release()->deleteLater();
    }
}

// The overlay and the recorder report from inside their own calls: they go once those returned.
void RecordingFlow::releaseOverlay() {
    overlay_->disconnect(this);
    overlay_.release()->deleteLater();
}

void RecordingFlow::releaseRecorder() {
    path_.reset();
    recorder_->disconnect(this);
    recorder_.release()->deleteLater();
}

void RecordingFlow::showAlert(const FailureAlert& alert) {
    Alerts::error(*services_.presenter, alert.title, alert.message, alert.details);
}

}  // namespace vantorel
