#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

#include "app/app_services.h"
#include "app/phase.h"
#include "app/status_menu.h"
#include "capture/capture_engine.h"
#include "capture/stop_result.h"

namespace vantorel {

class RepeatingTimer;
class TrayMenu;

// The answer to a quit request: end now, or once the running recording is saved.
enum class TerminateReply { now, later };

// The application controller: owns the status item, the hot key and every part of one
// recording, and runs the recording flow. Lives for the whole process; main thread only.
// Every callback it hands out holds it weakly.
class AppDelegate final : public QObject {
    Q_OBJECT

  public:
    explicit AppDelegate(AppServices services);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    TerminateReply applicationShouldTerminate();
    // Any quit request (the menu, a signal): asks, and ends the event loop when allowed.
    void requestQuit();

    // The recording flow.
    void menuToggle();
    void startSelection();
    void beginRecording(const Selection& selection);
    void startCapture(const Selection& selection);
    void tick();
    void stopRecording(const std::optional<QString>& reason = std::nullopt,
                       const std::optional<QString>& details = std::nullopt);
    void finishRecording(const StopResult& result, const std::optional<QString>& reason,
                         const std::optional<QString>& details);
    void reportStartFailure(const ErrorRef& error);
    // The machine is about to sleep; schedules the stop. Called on the main thread.
    void machineWillSleep();
    // Schedules the toggle after the work already queued, as the hot key does.
    void scheduleToggle();

    // The status item and its menu.
    void updateStatusButton();
    // Reads the store each time rather than keeping values: the preference file may be edited
    // by hand while the program runs.
    void menuNeedsUpdate();
    void perform(const MenuEntry& entry);

    // Save folder readiness, with its alert.
    bool prepareFolder();

    Phase phase() const { return phase_; }
    bool quitAfterStop() const { return quitAfterStop_; }
    const std::optional<QString>& currentURL() const { return currentURL_; }
    StatusItem* statusItem() const { return statusItem_.get(); }

  private:
    void runCountdown(const Selection& selection);
    void continueCapture(const Selection& selection, const QString& url,
                         const std::optional<ShareableContent>& content, const ErrorRef& error);
    void captureStarted(const std::shared_ptr<CaptureEngine>& engine, const QString& url,
                        const ErrorRef& error);
    void failCaptureStart(const ErrorRef& error);
    void closeIndicators();
    void releaseOverlay();
    void allowTermination();
    void terminateOnceAnnounced();

    // Menu actions.
    void revealRecent(const QString& path);
    void openFolder();
    void setFrameRate(int tag);
    void setCountdown(int tag);
    void toggleCursor();
    void toggleSound();
    void chooseFolder();

    AppServices services_;

    std::unique_ptr<TrayMenu> menu_;  // outlives the status item, which opens it
    std::unique_ptr<StatusItem> statusItem_;
    std::unique_ptr<HotKeyRegistration> hotKey_;
    Phase phase_ = Phase::idle;
    std::unique_ptr<SelectionOverlay> overlay_;
    std::shared_ptr<CaptureEngine> recorder_;
    std::shared_ptr<CaptureEngine> startingEngine_;  // from the engine's start until it answers
    std::unique_ptr<IndicatorWindow> outline_;
    std::unique_ptr<IndicatorWindow> pill_;
    std::unique_ptr<RepeatingTimer> tickTimer_;
    std::optional<QDateTime> startDate_;
    std::optional<QString> currentURL_;
    bool quitAfterStop_ = false;
    bool waitingForAnnouncement_ = false;
};

}  // namespace vantorel
