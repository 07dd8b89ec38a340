#include <xcb/xcb.h>

#include <QApplication>
#include <QDBusConnection>
#include <QSystemTrayIcon>

#include <cstdio>

#include "app/application.h"
#include "app/folder_checks.h"
#include "app/key_names.h"
#include "indicators/countdown_window.h"
#include "indicators/outline_window.h"
#include "indicators/stop_pill.h"
#include "platform/dbus/freedesktop_file_browser.h"
#include "platform/dbus/freedesktop_notifier.h"
#include "platform/dbus/single_instance.h"
#include "platform/ffmpeg/ffmpeg_mp4_writer.h"
#include "platform/preference_store.h"
#include "platform/qt_presenter.h"
#include "platform/x11/x11_capture_source.h"
#include "prefs/preferences.h"
#include "selection/selection_overlay_controller.h"

namespace {

using namespace vantorel;

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

// The real windows of a recording.
RecordingWindows realWindows(const PreferenceStore& store) {
    RecordingWindows windows;
    windows.overlay = [&store] {
        return std::make_unique<SelectionOverlayController>(Preferences::lastSize(store));
    };
    windows.countdown = [](const Selection& selection) {
        return std::make_unique<CountdownWindow>(selection);
    };
    windows.outline = [](const Selection& selection) {
        return std::make_unique<OutlineWindow>(selection.screen, selection.rect);
    };
    windows.stopButton = [](const Selection& selection) -> std::unique_ptr<StopButton> {
        return StopPill::create(selection.screen, selection.rect);
    };
    return windows;
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
    LinuxKeyNames keyNames;
    QApplication::installTranslator(&keyNames);

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

    AppServices services;
    services.recording.store = &store;
    services.recording.presenter = &presenter;
    services.recording.notifier = &notifier;
    services.recording.windows = realWindows(store);
    services.recording.makeSource = makeX11CaptureSourceFactory();
    services.recording.makeWriter = makeFfmpegMp4WriterFactory();
    services.recording.clock = std::make_shared<MonotonicClock>();
    services.recording.freeBytes = &freeBytes;
    services.fileBrowser = &fileBrowser;
    services.systemBus = QDBusConnection::systemBus();
    services.trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    services.terminate = &QCoreApplication::quit;
    services.recoverRecordings = &mp4::recoverRecordings;

    const Application application(std::move(services));
    return QApplication::exec();
}
