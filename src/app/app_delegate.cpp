#include "app/app_delegate.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>

#include <algorithm>

#include "app/elapsed_time.h"
#include "app/folder_checks.h"
#include "app/scheduler.h"
#include "app/status_item.h"
#include "app/tray_menu.h"
#include "capture/recorder_error.h"
#include "feedback/alerts.h"
#include "feedback/notifier.h"
#include "platform/file_browser.h"
#include "platform/main_thread.h"
#include "platform/preference_store.h"
#include "platform/presenter.h"
#include "prefs/preferences.h"

namespace vantorel {

namespace {

using namespace std::chrono_literals;

const QString kSleepReason = "The computer went to sleep.";
const QString kLowSpaceReason = "The disk is almost full, so the recording was stopped and saved.";
// How long a tray host may take to appear after the start.
constexpr auto kTrayPatience = 5s;
const QString kNoTrayTitle = "Vantorel is running";
const QString kNoTrayMessage =
    "This desktop has no system tray to show its icon in. Press Super+Shift+R to record a region "
    "of the screen, and again to stop.";

// While the region leaves no room for the stop button anywhere outside it.
const QString kNoPillNote =
    "No Stop button: it would be in the video. Stop here or with Super+Shift+R.";
const QString kFailureReason =
    "The recording stopped unexpectedly. What was recorded so far was saved if possible.";

QString textOf(const ErrorRef& error) {
    return QString::fromStdString(error->textualDescription());
}

}  // namespace

AppDelegate::AppDelegate(AppServices services) : services_(std::move(services)) {}

AppDelegate::~AppDelegate() = default;

// ---------------------------------------------------------------------------------------------
// Launch and quit

void AppDelegate::applicationDidFinishLaunching() {
    Preferences::registerDefaults(*services_.store);
    services_.notifier->setup();
    menu_ = std::make_unique<TrayMenu>(phase_, *services_.store);
    connect(menu_.get(), &TrayMenu::chosen, this, &AppDelegate::perform);
    connect(menu_->menu(), &QMenu::aboutToShow, this, &AppDelegate::menuNeedsUpdate);
    statusItem_ = services_.makeStatusItem(menu_->menu());
    updateStatusButton();
    // Without a tray (a bare window manager, GNOME without an indicator extension) the program
    // would run unseen: say once how to reach it. A tray that comes up this late still shows
    // the item, as Qt docks it whenever one appears.
    services_.scheduler->after(kTrayPatience, this, [this] {
        if (statusItem_ && !statusItem_->inPanel()) {
            services_.notifier->notifyNotice(kNoTrayTitle, kNoTrayMessage);
        }
    });
    if (services_.makeHotKey) {
        hotKey_ = services_.makeHotKey([self = QPointer(this)] {
            if (self) {
                self->scheduleToggle();
            }
        });
    }
}

TerminateReply AppDelegate::applicationShouldTerminate() {
    switch (phase_) {
        case Phase::selecting:
            if (overlay_) {
                overlay_->close();
                overlay_.reset();
            }
            return TerminateReply::now;
        case Phase::recording:
            quitAfterStop_ = true;
            stopRecording();
            return TerminateReply::later;
        case Phase::stopping:
            quitAfterStop_ = true;
            return TerminateReply::later;
        case Phase::countdown:
            // Once the engine is starting, its file exists: ending now would leave a broken
            // file behind, so wait for the start and finish it like any other recording.
            if (startingEngine_) {
                quitAfterStop_ = true;
                return TerminateReply::later;
            }
            break;
        case Phase::idle:
            break;
    }
    return TerminateReply::now;
}

void AppDelegate::requestQuit() {
    if (applicationShouldTerminate() == TerminateReply::now) {
        terminateOnceAnnounced();
    }
}

void AppDelegate::allowTermination() {
    quitAfterStop_ = false;
    terminateOnceAnnounced();
}

// A file saved just before the quit is announced asynchronously (the notification server is
// asked over D-Bus); ending the event loop first would drop the announcement.
void AppDelegate::terminateOnceAnnounced() {
    Notifier* notifier = services_.notifier;
    if (!notifier->busy()) {
        services_.terminate();
        return;
    }
    if (!waitingForAnnouncement_) {
        waitingForAnnouncement_ = true;
        connect(notifier, &Notifier::settled, this, &AppDelegate::terminateOnceAnnounced);
    }
}

void AppDelegate::machineWillSleep() {
    postToMain([self = QPointer(this)] {
        if (self) {
            self->stopRecording(kSleepReason);
        }
    });
}

void AppDelegate::scheduleToggle() {
    postToMain([self = QPointer(this)] {
        if (self) {
            self->menuToggle();
        }
    });
}

// ---------------------------------------------------------------------------------------------
// The recording flow

void AppDelegate::menuToggle() {
    switch (phase_) {
        case Phase::recording:
            stopRecording();
            break;
        case Phase::selecting:
            if (overlay_) {
                overlay_->cancel();
            }
            break;
        case Phase::idle:
            startSelection();
            break;
        case Phase::countdown:
        case Phase::stopping:
            break;
    }
}

void AppDelegate::startSelection() {
    if (phase_ != Phase::idle) {
        return;
    }
    if (!services_.captureAccess->preflight()) {
        const bool openSettings = Alerts::permissionNeeded(*services_.presenter);
        services_.captureAccess->request();
        if (openSettings) {
            services_.captureAccess->openSettings();
        }
        return;
    }
    if (services_.screens().isEmpty()) {
        Alerts::error(*services_.presenter, "No display found", "There is no screen to record.",
                      std::nullopt);
        return;
    }
    if (!prepareFolder()) {
        return;
    }
    phase_ = Phase::selecting;
    QPointer self(this);
    overlay_ = services_.makeOverlay(
        [self](const Selection& selection) {
            if (self) {
                self->beginRecording(selection);
            }
        },
        [self] {
            if (AppDelegate* delegate = self.data()) {
                delegate->releaseOverlay();
                delegate->phase_ = Phase::idle;
                delegate->updateStatusButton();
            }
        });
    overlay_->show();
}

void AppDelegate::releaseOverlay() {
    // The overlay reports from inside its own methods, so it is destroyed once the call that
    // reported has returned; for the flow it is gone at once.
    std::shared_ptr<SelectionOverlay> retired(std::move(overlay_));
    postToMain([retired] {});
}

void AppDelegate::beginRecording(const Selection& selection) {
    releaseOverlay();
    phase_ = Phase::countdown;
    services_.store->setInteger(Preferences::kLastWidth, selection.pixelWidth);
    services_.store->setInteger(Preferences::kLastHeight, selection.pixelHeight);
    updateStatusButton();
    services_.scheduler->after(200ms, this, [this, selection] { runCountdown(selection); });
}

void AppDelegate::runCountdown(const Selection& selection) {
    if (services_.store->integer(Preferences::kCountdownSeconds) == 0) {
        startCapture(selection);
        return;
    }
    // The panel is shared by the timed steps below and goes with the last of them.
    std::shared_ptr<CountdownPanel> panel = services_.makeCountdown(selection);
    panel->show(3);
    Scheduler& scheduler = *services_.scheduler;
    scheduler.after(1s, this, [this, panel, selection, &scheduler] {
        panel->setNumber(2);
        scheduler.after(1s, this, [this, panel, selection, &scheduler] {
            panel->setNumber(1);
            scheduler.after(1s, this, [this, panel, selection, &scheduler] {
                panel->close();
                scheduler.after(200ms, this, [this, selection] { startCapture(selection); });
            });
        });
    });
}

void AppDelegate::startCapture(const Selection& selection) {
    const QString url = Preferences::nextFileURL(*services_.store, services_.scheduler->now());
    QPointer self(this);
    outline_ = services_.makeOutline(selection.screen, selection.rect);
    pill_ = services_.makePill(selection.screen, selection.rect, [self] {
        if (self) {
            self->stopRecording();
        }
    });
    if (outline_) {
        outline_->orderFront();
    }
    if (pill_) {
        pill_->orderFront();
    }
    services_.captureService->getShareableContent(
        false, true,
        [self, selection, url](std::optional<ShareableContent> content, ErrorRef error) {
            postToMain(
                [self, selection, url, content = std::move(content), error = std::move(error)] {
                    if (self) {
                        self->continueCapture(selection, url, content, error);
                    }
                });
        });
}

void AppDelegate::continueCapture(const Selection& selection, const QString& url,
                                  const std::optional<ShareableContent>& content,
                                  const ErrorRef& error) {
    if (error || !content) {
        failCaptureStart(error ? error : RecorderError::noDisplay());
        return;
    }
    const std::optional<uint32_t> displayId =
        selection.screen ? services_.displayId(selection.screen) : std::optional<uint32_t>();
    if (!displayId) {
        failCaptureStart(RecorderError::noDisplay());
        return;
    }
    const auto display =
        std::find_if(content->displays.begin(), content->displays.end(),
                     [&](const CaptureDisplay& d) { return d.displayID == *displayId; });
    if (display == content->displays.end()) {
        failCaptureStart(RecorderError::noDisplay());
        return;
    }
    auto filter = std::make_shared<ContentFilter>();
    filter->display = *display;
    std::copy_if(
        content->applications.begin(), content->applications.end(),
        std::back_inserter(filter->excludedApplications),
        [&](const RunningApplication& app) { return app.processID == services_.processId; });

    std::shared_ptr<CaptureEngine> engine = services_.makeEngine();
    engine->setOnFailure([self = QPointer(this)](ErrorRef failure) {
        postToMain([self, failure = std::move(failure)] {
            if (self) {
                self->stopRecording(kFailureReason, textOf(failure));
            }
        });
    });

    RecorderConfig config;
    config.filter = filter;
    config.sourceRect = CaptureRect{selection.rect.x(), selection.rect.y(), selection.rect.width(),
                                    selection.rect.height()};
    config.pixelWidth = selection.pixelWidth;
    config.pixelHeight = selection.pixelHeight;
    config.frameRate = services_.store->integer(Preferences::kFrameRate) == 60 ? 60 : 30;
    config.showsCursor = services_.store->boolean(Preferences::kShowsCursor);
    config.capturesAudio = services_.store->boolean(Preferences::kRecordSystemSound);
    config.outputURL = url.toStdString();

    startingEngine_ = engine;
    engine->start(config, [self = QPointer(this), engine, url](ErrorRef startError) {
        postToMain([self, engine, url, startError = std::move(startError)] {
            if (self) {
                self->captureStarted(engine, url, startError);
            }
        });
    });
}

void AppDelegate::captureStarted(const std::shared_ptr<CaptureEngine>& engine, const QString& url,
                                 const ErrorRef& error) {
    startingEngine_.reset();
    if (error) {
        failCaptureStart(error);
        return;
    }
    recorder_ = engine;
    if (services_.sleepGuard) {
        services_.sleepGuard->recordingStarted();
    }
    currentURL_ = url;
    startDate_ = services_.scheduler->now();
    phase_ = Phase::recording;
    updateStatusButton();
    tickTimer_ = services_.scheduler->every(1s, [self = QPointer(this)] {
        if (self) {
            self->tick();
        }
    });
    if (quitAfterStop_) {
        stopRecording();  // a quit came while the engine was starting
    }
}

void AppDelegate::failCaptureStart(const ErrorRef& error) {
    closeIndicators();
    phase_ = Phase::idle;
    updateStatusButton();
    if (quitAfterStop_) {
        allowTermination();  // no alert while a quit is waiting
        return;
    }
    reportStartFailure(error);
}

void AppDelegate::reportStartFailure(const ErrorRef& error) {
    Presenter& presenter = *services_.presenter;
    if (const PlatformError* platform = asPlatformError(error);
        platform && platform->code() == PlatformError::kPermissionDeclined) {
        if (Alerts::permissionNeeded(presenter)) {
            services_.captureAccess->openSettings();
        }
        return;
    }
    const RecorderError* engineError = RecorderError::from(error);
    if (engineError && engineError->kind() == RecorderError::Kind::cannotWrite) {
        const QString folderName = QFileInfo(Preferences::saveFolder(*services_.store)).fileName();
        Alerts::error(presenter, "Can't save to this folder",
                      "The video file could not be created in \"" + folderName + "\".",
                      textOf(error));
        return;
    }
    if (engineError && engineError->kind() == RecorderError::Kind::noDisplay) {
        Alerts::error(presenter, "No display found",
                      "The screen you picked is no longer available.", textOf(error));
        return;
    }
    // Both texts, unless the error has only the one.
    const QString localized = QString::fromStdString(error->localizedDescription());
    const QString technical = textOf(error);
    Alerts::error(presenter, "The recording failed to start",
                  "Something went wrong while starting the recording. Try again; if it keeps "
                  "happening, the details say whether the display, the sound server or the video "
                  "encoder refused.",
                  technical == localized ? technical : localized + "\n\n" + technical);
}

void AppDelegate::tick() {
    if (phase_ != Phase::recording) {
        return;
    }
    updateStatusButton();
    if (currentURL_ && isLowOnSpace(services_.freeBytes(QFileInfo(*currentURL_).absolutePath()))) {
        stopRecording(kLowSpaceReason);
    }
}

void AppDelegate::stopRecording(const std::optional<QString>& reason,
                                const std::optional<QString>& details) {
    if (phase_ != Phase::recording || !recorder_) {
        return;
    }
    phase_ = Phase::stopping;
    tickTimer_.reset();
    closeIndicators();
    updateStatusButton();
    recorder_->stop([self = QPointer(this), reason, details](StopResult result) {
        postToMain([self, result = std::move(result), reason, details] {
            if (self) {
                self->finishRecording(result, reason, details);
            }
        });
    });
}

void AppDelegate::finishRecording(const StopResult& result, const std::optional<QString>& reason,
                                  const std::optional<QString>& details) {
    recorder_.reset();
    currentURL_.reset();
    startDate_.reset();
    phase_ = Phase::idle;
    updateStatusButton();
    if (services_.sleepGuard) {
        services_.sleepGuard->recordingFinished();
    }
    const bool quitting = quitAfterStop_;
    if (result.url) {
        const QString path = QString::fromStdString(result.url->string());
        Preferences::addRecent(*services_.store, path);
        menuNeedsUpdate();
        services_.notifier->notifySaved(path);
        if (quitting) {
            allowTermination();
        } else if (reason) {
            Alerts::error(*services_.presenter, "Recording stopped", *reason, details);
        }
        return;
    }
    if (quitting) {
        allowTermination();
        return;
    }
    QStringList parts;
    if (details) {
        parts.append(*details);
    }
    if (result.error) {
        parts.append(textOf(result.error));
    }
    Alerts::error(*services_.presenter, "The recording could not be saved",
                  reason.value_or("The video file could not be finished, so it was removed."),
                  parts.join("\n\n"));
}

void AppDelegate::closeIndicators() {
    if (outline_) {
        outline_->close();
        outline_.reset();
    }
    if (pill_) {
        pill_->close();
        pill_.reset();
    }
}

bool AppDelegate::prepareFolder() {
    const std::optional<FolderProblem> problem =
        vantorel::prepareFolder(Preferences::saveFolder(*services_.store));
    if (!problem) {
        return true;
    }
    Alerts::error(*services_.presenter, problem->title, problem->message, problem->details);
    return false;
}

// ---------------------------------------------------------------------------------------------
// The status item and its menu

void AppDelegate::updateStatusButton() {
    if (!statusItem_) {
        return;
    }
    // Also called on each tick, where the menu finds nothing to change and sends nothing.
    menuNeedsUpdate();
    switch (phase_) {
        case Phase::stopping:
            statusItem_->setLook(
                {StatusSymbol::recordCircle, "Saving", QStringLiteral(" Saving\u2026"), QString()});
            break;
        case Phase::recording:
            statusItem_->setLook(
                {StatusSymbol::circleFill, "Recording",
                 " " + elapsedString(elapsedSeconds(startDate_, services_.scheduler->now())),
                 pill_ ? QString() : kNoPillNote});
            break;
        case Phase::idle:
        case Phase::selecting:
        case Phase::countdown:
            statusItem_->setLook({StatusSymbol::recordCircle, "Vantorel", QString(), QString()});
            break;
    }
}

void AppDelegate::menuNeedsUpdate() {
    if (menu_) {
        menu_->refresh(phase_, *services_.store);
    }
}

void AppDelegate::perform(const MenuEntry& entry) {
    switch (entry.command) {
        case MenuCommand::toggle:
            menuToggle();
            break;
        case MenuCommand::revealRecent:
            revealRecent(entry.path);
            break;
        case MenuCommand::openFolder:
            openFolder();
            break;
        case MenuCommand::setFrameRate:
            setFrameRate(entry.tag);
            break;
        case MenuCommand::setCountdown:
            setCountdown(entry.tag);
            break;
        case MenuCommand::toggleCursor:
            toggleCursor();
            break;
        case MenuCommand::toggleSound:
            toggleSound();
            break;
        case MenuCommand::chooseFolder:
            chooseFolder();
            break;
        case MenuCommand::quit:
            requestQuit();
            break;
        case MenuCommand::none:
            break;
    }
    // Qt flips a checkable item's mark itself; this puts it back to what was stored.
    menuNeedsUpdate();
}

void AppDelegate::revealRecent(const QString& path) {
    if (!path.isEmpty()) {
        services_.fileBrowser->revealFile(path);
    }
}

void AppDelegate::openFolder() {
    const QString folder = Preferences::saveFolder(*services_.store);
    QDir().mkpath(folder);  // a failure shows in the file browser
    services_.fileBrowser->openFolder(folder);
}

void AppDelegate::setFrameRate(int tag) {
    services_.store->setInteger(Preferences::kFrameRate, tag == 60 ? 60 : 30);
}

void AppDelegate::setCountdown(int tag) {
    services_.store->setInteger(Preferences::kCountdownSeconds, tag != 0 ? 3 : 0);
}

void AppDelegate::toggleCursor() {
    services_.store->setBoolean(Preferences::kShowsCursor,
                                !services_.store->boolean(Preferences::kShowsCursor));
}

void AppDelegate::toggleSound() {
    services_.store->setBoolean(Preferences::kRecordSystemSound,
                                !services_.store->boolean(Preferences::kRecordSystemSound));
}

void AppDelegate::chooseFolder() {
    services_.presenter->activateApplication();
    const QString current = Preferences::saveFolder(*services_.store);
    const std::optional<QString> chosen = services_.presenter->chooseFolder(
        FolderChooserRequest{QFileInfo(current).absolutePath(), "Choose"});
    if (chosen) {
        services_.store->setString(Preferences::kSaveFolder, *chosen);
    }
}

}  // namespace vantorel
