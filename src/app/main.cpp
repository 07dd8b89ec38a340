#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDBusConnection>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "app/app_delegate.h"
#include "app/display_capture_access.h"
#include "app/folder_checks.h"
#include "app/global_hot_key.h"
#include "app/key_names.h"
#include "app/logind_sleep_watcher.h"
#include "app/platform_services.h"
#include "app/quit_signal_watcher.h"
#include "app/scheduler.h"
#include "app/single_instance.h"
#include "app/tray_status_item.h"
#include "feedback/freedesktop_notifier.h"
#include "platform/file_browser.h"
#include "platform/preference_store.h"
#include "platform/qt_presenter.h"

namespace {

// Qt would abort with a terse message of its own; say plainly what is missing instead.
bool x11DisplayReachable() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

}  // namespace

int main(int argc, char** argv) {
    if (!x11DisplayReachable()) {
        std::fprintf(
            stderr,
            "Vantorel needs an X11 desktop session: no X display could be reached (DISPLAY=%s).\n"
            "Start it from a graphical session (on Wayland it runs through XWayland).\n",
            qEnvironmentVariableIsEmpty("DISPLAY") ? "unset" : qgetenv("DISPLAY").constData());
        return 1;
    }
    // On Wayland sessions the windows go through XWayland, where screen capture works.
    qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName("Vantorel");
    QApplication::setDesktopFileName("org.vantorel.Vantorel");
    QApplication::setQuitOnLastWindowClosed(false);
    vantorel::LinuxKeyNames keyNames;
    QApplication::installTranslator(&keyNames);

    using namespace vantorel;
    // Settled before anything shows or grabs: a second start must leave no trace.
    const SingleInstance instance(QDBusConnection::sessionBus());
    if (instance.claim() == SingleInstance::Claim::alreadyRunning) {
        std::fprintf(stderr, "Vantorel is already running.\n");
        return 0;
    }

    PreferenceStore store(PreferenceStore::defaultPath());
    QtPresenter presenter;
    FreedesktopFileBrowser fileBrowser;
    FreedesktopNotifier notifier(QDBusConnection::sessionBus(), presenter, fileBrowser);
    QtScheduler scheduler;
    DisplayCaptureAccess captureAccess;

    AppServices services;
    services.store = &store;
    services.presenter = &presenter;
    services.fileBrowser = &fileBrowser;
    services.notifier = &notifier;
    services.scheduler = &scheduler;
    services.captureAccess = &captureAccess;
    services.screens = [] { return QGuiApplication::screens(); };
    services.makeStatusItem = [](QMenu* menu) { return std::make_unique<TrayStatusItem>(menu); };
    services.freeBytes = [](const QString& folder) { return freeBytes(folder); };
    services.terminate = [] { QCoreApplication::quit(); };
    services.processId = ::getpid();
    PlatformServices platform;
    platform.install(services, store);
    services.makeHotKey = [](std::function<void()> action) {
        return std::make_unique<GlobalHotKey>(std::move(action));
    };

    // The watcher exists before the controller that it reports to, which is known only later.
    QPointer<AppDelegate> controller;
    LogindSleepWatcher sleepWatcher(QDBusConnection::systemBus(), [&controller] {
        if (controller) {
            controller->machineWillSleep();
        }
    });
    services.sleepGuard = &sleepWatcher;

    AppDelegate delegate(std::move(services));
    controller = &delegate;
    QuitSignalWatcher quitSignals([&delegate] { delegate.requestQuit(); });
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return QApplication::exec();
}
