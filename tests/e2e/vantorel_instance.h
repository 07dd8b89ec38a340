#pragma once

#include <QDBusConnection>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

#include "desktop.h"

namespace vantorel::e2e {

// One run of the built program with a home, a configuration folder and a session bus of its own,
// started with the preferences a test writes first, and stopped (SIGTERM, then SIGKILL) when it
// goes. The bus knows no activatable services: a notification daemon installed on the machine
// is not started behind the test's back, so a saved file is announced by the program's own
// "Saved" alert, and the test can play the file manager.
class VantorelInstance {
  public:
    explicit VantorelInstance(const QJsonObject& preferences = {});
    ~VantorelInstance();
    VantorelInstance(const VantorelInstance&) = delete;
    VantorelInstance& operator=(const VantorelInstance&) = delete;

    // Starts the program and waits for its icon in the tray.
    bool start();
    // Asks it to quit and waits; answers whether it ended cleanly with code 0.
    bool stop();
    bool running() const { return process_.state() == QProcess::Running; }
    qint64 pid() const { return process_.processId(); }
    QString output();

    // The test's own connection to the program's session bus.
    QDBusConnection bus() const;

    QString home() const { return dir_.filePath("home"); }
    QString videosFolder() const { return home() + "/Videos/Brisolet"; }
    QString preferencesPath() const { return dir_.filePath("config/Vantorel/preferences.json"); }
    QJsonObject preferences() const;
    QStringList recentRecordings() const;

    std::optional<QRect> trayIcon() const { return trayIcon_; }
    // The program's visible windows other than the tray icon.
    QList<WindowId> windows() const;
    // Its full-screen windows: the selection overlay is one per screen.
    int screenSizedWindows() const;

    // Opens the tray menu with a right click and answers the rectangle of its popup.
    std::optional<QRect> openTrayMenu();
    // The vertical centres of the popup's items, found from its text rows.
    QList<int> menuRows(const QRect& popup) const;
    // Opens the tray menu and clicks its first item ("Start Recording" while idle).
    bool chooseStartRecording();

  private:
    bool startBus();

    QTemporaryDir dir_;
    QProcess busDaemon_;
    QString busAddress_;
    QProcess process_;
    QString output_;
    std::optional<QRect> trayIcon_;
};

}  // namespace vantorel::e2e
