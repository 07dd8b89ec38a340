#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "desktop_user.h"
#include "private_bus.h"

namespace vantorel::testing {

// One run of the built program with a home, preferences and a session bus of its own. The bus
// has no activatable services, so no notification daemon installed on the machine answers: a
// saved file is announced by the program's own "Saved" alert.
class ProgramInstance {
  public:
    explicit ProgramInstance(const QJsonObject& preferences);
    ~ProgramInstance();
    ProgramInstance(const ProgramInstance&) = delete;
    ProgramInstance& operator=(const ProgramInstance&) = delete;

    // Starts the program and waits for its icon in the tray.
    bool start();
    // SIGTERM, the desktop's way to ask a program to quit.
    void askToQuit() { process_.terminate(); }
    // Waits for the program to end; whether it ended by itself with code 0.
    bool endedCleanly(std::chrono::milliseconds ceiling = 30s);
    QString output() { return QString::fromLocal8Bit(process_.readAll()); }

    QString videosFolder() const { return dir_.filePath("home/Videos/Brisolet"); }
    // Waits for a recording to be listed among the recents.
    std::optional<QString> waitForRecording() const;

    QRect trayIcon() const { return trayIcon_; }
    bool trayShowsRecording() const;
    // The program's visible windows other than the tray icon, and where they are.
    QList<QRect> windows() const;
    bool showsOverlay() const;  // one full-screen window on each monitor
    std::optional<QRect> waitForStopButton() const;

    // Opens the tray menu with a right click: the popup and the middle of each of its items.
    std::optional<QRect> openTrayMenu();
    static QList<int> menuRows(const QRect& popup);

  private:
    QTemporaryDir dir_;
    PrivateBus bus_;
    QProcess process_;
    QRect trayIcon_;
};

}  // namespace vantorel::testing
