#include <xcb/xcb.h>

#include <QApplication>
#include <QDBusConnection>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

#include "app/application.h"
#include "app/folder_checks.h"
#include "app/key_names.h"
#include "indicators/countdown_window.h"
#include "indicators/outline_window.h"
#include "indicators/stop_pill.h"
#include "platform/dbus/freedesktop_file_browser.h"
#include "platform/dbus/freedesktop_notifier.h"
#include "platform/dbus/instance_commands.h"
#include "platform/dbus/portal_global_shortcut.h"
#include "platform/dbus/single_instance.h"
#include "platform/ffmpeg/ffmpeg_mp4_writer.h"
#include "platform/memory_policy.h"
#include "platform/preference_store.h"
#include "platform/qt_presenter.h"
#include "platform/wayland/wayland_capture_source.h"
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

// Where things run on a Wayland desktop. An X11 grab there sees only XWayland's own windows, so
// the screen is captured through the desktop portal's ScreenCast session (a PipeWire stream).
// The program's windows (overlay, control bar, countdown, outline, stop button, alerts) still go
// through XWayland: a Wayland client may neither place its windows nor keep them above others,
// while XWayland's override-redirect windows keep the places the program gives them. The key
// grab is left out, as XWayland sees keys only while one of its windows has the focus; the
// desktop's shortcut settings run `vantorel --toggle` instead.
bool waylandSession() {
    return qgetenv("XDG_SESSION_TYPE") == "wayland" ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::vector<DesktopMonitor> desktopMonitors() {
    std::vector<DesktopMonitor> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect geometry = screen->geometry();
        monitors.push_back({screen->name(), geometry,
                            (QSizeF(geometry.size()) * screen->devicePixelRatio()).toSize()});
    }
    return monitors;
}

CaptureSourceFactory waylandCapture(PreferenceStore& store) {
    WaylandCaptureOptions options;
    options.bus = QDBusConnection::sessionBus();
    options.monitors = &desktopMonitors;
    options.restoreToken = [&store] {
        return store.string(Preferences::kScreenCastRestoreToken).value_or(QString());
    };
    options.keepRestoreToken = [&store](const QString& token) {
        store.setString(Preferences::kScreenCastRestoreToken, token);
    };
    return makeWaylandCaptureSourceFactory(std::move(options));
}

void carryOut(InstanceCommands::Command command, RecordingFlow& flow) {
    switch (command) {
        case InstanceCommands::Command::toggle:
            flow.toggle();
            break;
        case InstanceCommands::Command::startSelection:
            flow.startIfIdle();
            break;
        case InstanceCommands::Command::stop:
            flow.stopIfActive();
            break;
    }
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
    settleMemoryUse();
    if (!x11DisplayReachable()) {
        std::fprintf(
            stderr,
            "Vantorel needs an X11 desktop session: no X display could be reached (DISPLAY=%s).\n"
            "Start it from a graphical session (on Wayland it runs through XWayland).\n",
            qEnvironmentVariableIsEmpty("DISPLAY") ? "unset" : qgetenv("DISPLAY").constData());
        return 1;
    }
    const bool wayland = waylandSession();
    qputenv("QT_QPA_PLATFORM", "xcb");  // on Wayland too: see waylandSession()

    QApplication app(argc, argv);
    QApplication::setApplicationName("Vantorel");
    QApplication::setDesktopFileName("org.vantorel.Vantorel");
    QApplication::setQuitOnLastWindowClosed(false);
    LinuxKeyNames keyNames;
    QApplication::installTranslator(&keyNames);

    // Settled before anything shows or grabs: a second start must leave no trace.
    // A command for a program that is not running yet starts it, and is carried out once it
    // runs; only a stop has nothing to act on.
    const SingleInstance instance(QDBusConnection::sessionBus());
    const std::optional<InstanceCommands::Command> command =
        InstanceCommands::parse(QApplication::arguments());
    if (instance.claim() == SingleInstance::Claim::alreadyRunning) {
        if (!command) {
            std::fprintf(stderr, "Vantorel is already running.\n");
            return 0;
        }
        const std::optional<QString> error =
            InstanceCommands::send(instance.connection(), instance.name(), *command);
        if (error) {
            std::fprintf(stderr, "Vantorel did not take the command: %s\n", qPrintable(*error));
        }
        return error ? 1 : 0;
    }
    if (command == InstanceCommands::Command::stop) {
        std::fprintf(stderr, "Vantorel is not running: there is no recording to stop.\n");
        return 1;
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
    services.recording.makeSource = wayland ? waylandCapture(store) : makeX11CaptureSourceFactory();
    services.recording.makeWriter = makeFfmpegMp4WriterFactory();
    services.recording.clock = std::make_shared<MonotonicClock>();
    services.recording.freeBytes = &freeBytes;
    services.fileBrowser = &fileBrowser;
    services.systemBus = QDBusConnection::systemBus();
    services.trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    services.terminate = &QCoreApplication::quit;
    services.grabsHotKey = !wayland;
    services.recoverRecordings = &mp4::recoverRecordings;

    Application application(std::move(services));
    InstanceCommands commands(instance.connection());
    QObject::connect(
        &commands, &InstanceCommands::requested, &application,
        [&application](InstanceCommands::Command c) { carryOut(c, application.flow()); });
    if (command) {
        QTimer::singleShot(0, &application, [&] { carryOut(*command, application.flow()); });
    }
    // The desktop's own shortcut, where its portal offers one; it stays inert otherwise.
    PortalGlobalShortcut shortcut(QDBusConnection::sessionBus());
    if (wayland) {
        QObject::connect(&shortcut, &PortalGlobalShortcut::pressed, &application.flow(),
                         &RecordingFlow::toggle);
        shortcut.bind();
    }
    return QApplication::exec();
}
