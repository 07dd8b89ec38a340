#include "app/application.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include "feedback/alerts.h"
#include "feedback/notifier.h"
#include "prefs/preferences.h"

namespace vantorel {

namespace {

// Settings get their defaults before anything reads them.
RecordingFlow::Services withDefaults(RecordingFlow::Services services) {
    Preferences::setDefaults(*services.store);
    return services;
}

}  // namespace

Application::Application(AppServices services)
    : services_(std::move(services)),
      flow_(withDefaults(services_.recording)),
      tray_(flow_, *services_.recording.store, *services_.recording.presenter,
            *services_.fileBrowser),
      sleepWatcher_(services_.systemBus),
      sleepInhibitor_(services_.systemBus),
      recovery_(services_.recoverRecordings,
                Preferences::saveFolder(*services_.recording.store).toStdString()) {
    if (services_.grabsHotKey) {
        hotKey_ = std::make_unique<GlobalHotKey>();
        connect(hotKey_.get(), &GlobalHotKey::pressed, &flow_, &RecordingFlow::toggle);
    }
    connect(&tray_, &Tray::quitRequested, this, &Application::quit);
    connect(&quitSignals_, &QuitSignalWatcher::quitRequested, this, &Application::quit);
    // The stop is not made inside the bus's notice, but once it has been handled.
    connect(&sleepWatcher_, &LogindSleepWatcher::preparingForSleep, &flow_,
            &RecordingFlow::stopForSleep, Qt::QueuedConnection);
    // Sleep waits while a file is written and finished.
    connect(&flow_, &RecordingFlow::phaseChanged, &sleepInhibitor_, [this](Phase phase) {
        sleepInhibitor_.hold(phase == Phase::recording || phase == Phase::stopping);
    });
    connect(&flow_, &RecordingFlow::quitReady, this, &Application::terminateOnceAnnounced);
    connect(&recovery_, &StartupRecovery::finished, this, &Application::announceRecovery);
    QTimer::singleShot(services_.trayPatience, this, &Application::checkTray);
}

Application::~Application() = default;

void Application::quit() {
    flow_.quit();
}

// Without a tray (a bare window manager, GNOME without an indicator extension) the program would
// run unseen: it says once how to reach it. A tray that comes up this late still shows the item,
// as Qt docks it whenever one appears.
void Application::checkTray() {
    if (!services_.trayAvailable()) {
        services_.recording.notifier->notifyNotice(
            tr("Vantorel is running"),
            services_.grabsHotKey
                ? tr("This desktop has no system tray to show its icon in. Press Super+Shift+R to "
                     "record a region of the screen, and again to stop.")
                : tr("This desktop has no system tray to show its icon in. Run \"vantorel "
                     "--toggle\" (bind it to a key in the desktop's keyboard shortcuts) to record "
                     "a region of the screen, and again to stop."));
    }
}

// A file saved just before the quit is announced asynchronously (the notification server is
// asked over D-Bus); ending the event loop first would drop the announcement.
void Application::terminateOnceAnnounced() {
    Notifier& notifier = *services_.recording.notifier;
    if (!notifier.busy()) {
        disconnect(&notifier, &Notifier::settled, this, &Application::terminateOnceAnnounced);
        services_.terminate();
        return;
    }
    connect(&notifier, &Notifier::settled, this, &Application::terminateOnceAnnounced,
            Qt::UniqueConnection);
}

// Each recovered file is announced like a saved one and takes its place among the recent
// recordings; the ones that could not be finished are named together in one alert.
void Application::announceRecovery(const mp4::RecoveryReport& report) {
    for (const std::filesystem::path& path : report.recovered) {
        const QString file = QFile::decodeName(path.c_str());
        Preferences::addRecent(*services_.recording.store, file);
        services_.recording.notifier->notifyFile(FileNews::recovered, file);
    }
    tray_.refreshMenu();
    if (!report.unrecoverable.empty()) {
        const FailureAlert alert = FailureAlerts::notRecovered(report.unrecoverable);
        Alerts::error(*services_.recording.presenter, alert.title, alert.message, alert.details);
    }
}

}  // namespace vantorel
