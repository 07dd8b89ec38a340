#pragma once

#include <QDBusConnection>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

#include "app/global_hot_key.h"
#include "app/quit_signal_watcher.h"
#include "app/recording_flow.h"
#include "app/startup_recovery.h"
#include "app/tray.h"
#include "platform/dbus/logind_sleep_watcher.h"
#include "platform/dbus/sleep_inhibitor.h"

namespace vantorel {

class FileBrowser;

// Everything the program uses from outside, made once by main(): the real services there,
// stand-ins in tests. The referenced objects outlive the application.
struct AppServices {
    RecordingFlow::Services recording;
    FileBrowser* fileBrowser = nullptr;
    // Where logind is asked about sleep.
    QDBusConnection systemBus{QString()};
    // Whether the desktop has a tray to show the item in.
    std::function<bool()> trayAvailable;
    // How long a tray may take to appear after the start.
    std::chrono::milliseconds trayPatience{5000};
    // Ends the event loop once the quit may go ahead.
    std::function<void()> terminate;
    // Whether Super+Shift+R is grabbed on the X server: on a Wayland desktop a grab through
    // XWayland would see the key only while one of its windows has the focus, so the desktop's
    // own shortcuts are used there instead.
    bool grabsHotKey = true;
    // Finishes the recordings a crash cut off (none, unless given).
    StartupRecovery::Recover recoverRecordings = [](auto&, auto) { return mp4::RecoveryReport{}; };
};

// The program from its start to its end: the recording flow, the tray item, the system-wide
// shortcut, the sleep watcher with its inhibitor, the quit signals, and the recovery of
// recordings a crash cut off, wired to one another.
// A quit ends the program only once the recording is finished and its file announced.
// Main thread only.
class Application final : public QObject {
    Q_OBJECT

  public:
    explicit Application(AppServices services);
    ~Application() override;

    // The menu's Quit, a logout or a termination signal.
    void quit();

    RecordingFlow& flow() { return flow_; }
    Tray& tray() { return tray_; }

  private:
    void checkTray();
    void terminateOnceAnnounced();
    void announceRecovery(const mp4::RecoveryReport& report);

    AppServices services_;
    RecordingFlow flow_;
    Tray tray_;
    std::unique_ptr<GlobalHotKey> hotKey_;
    LogindSleepWatcher sleepWatcher_;
    SleepInhibitor sleepInhibitor_;
    QuitSignalWatcher quitSignals_;
    StartupRecovery recovery_;
};

}  // namespace vantorel
