#include "program_instance.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace vantorel::testing {

ProgramInstance::ProgramInstance(const QJsonObject& preferences) {
    QDir().mkpath(dir_.filePath("home"));
    QDir().mkpath(dir_.filePath("config/Vantorel"));
    QSaveFile file(dir_.filePath("config/Vantorel/preferences.json"));
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(preferences).toJson());
    file.commit();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus_.address());
    env.remove("XDG_VIDEOS_DIR");
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

ProgramInstance::~ProgramInstance() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
    }
}

bool ProgramInstance::start() {
    process_.start(VANTOREL_BINARY, {});
    return waitUntil(
               [this] {
                   for (WindowId window : windowsOfProcess(process_.processId())) {
                       // The tray host is a panel along the top of the first monitor.
                       const std::optional<QRect> rect = windowRect(window);
                       if (rect && rect->top() < 40 && rect->width() < 64 && rect->height() < 64) {
                           trayIcon_ = *rect;
                           return true;
                       }
                   }
                   return process_.state() == QProcess::NotRunning;
               },
               30s) &&
           process_.state() == QProcess::Running;
}

bool ProgramInstance::endedCleanly(std::chrono::milliseconds ceiling) {
    return (process_.state() == QProcess::NotRunning ||
            process_.waitForFinished(static_cast<int>(ceiling.count()))) &&
           process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

std::optional<QString> ProgramInstance::waitForRecording() const {
    QFile file(dir_.filePath("config/Vantorel/preferences.json"));
    QJsonArray recents;
    waitUntil(
        [&] {
            file.open(QIODevice::ReadOnly);
            recents =
                QJsonDocument::fromJson(file.readAll()).object()["recentRecordings"].toArray();
            file.close();
            return !recents.isEmpty();
        },
        60s);
    return recents.isEmpty() ? std::nullopt : std::optional(recents.first().toString());
}

bool ProgramInstance::trayShowsRecording() const {
    const QImage icon = grabScreen(trayIcon_);
    return countPixels(icon, [&](int x, int y) { return isRecordingRed(icon.pixel(x, y)); }) >= 20;
}

QList<QRect> ProgramInstance::windows() const {
    QList<QRect> found;
    for (WindowId window : windowsOfProcess(process_.processId())) {
        const std::optional<QRect> rect = windowRect(window);
        if (rect && *rect != trayIcon_) {
            found.append(*rect);
        }
    }
    return found;
}

bool ProgramInstance::showsOverlay() const {
    const QList<QRect> shown = windows();
    return shown.contains(kScreenA) && shown.contains(kScreenB);
}

std::optional<QRect> ProgramInstance::waitForStopButton() const {
    std::optional<QRect> button;
    waitUntil(
        [&] {
            for (const QRect& rect : windows()) {
                // The outline rings the region and alerts are tall: the button is a small
                // window along the top of a monitor.
                if (rect.top() < 40 && rect.height() < 60 && rect.width() < 200) {
                    button = rect;
                }
            }
            return button.has_value();
        },
        20s);
    return button;
}

std::optional<QRect> ProgramInstance::openTrayMenu() {
    const QList<QRect> before = windows();
    click(trayIcon_.center(), 3);
    std::optional<QRect> popup;
    // Qt paints the popup just after mapping it: wait for its items too.
    waitUntil(
        [&] {
            for (const QRect& rect : windows()) {
                if (!before.contains(rect) && !menuRows(rect).isEmpty()) {
                    popup = rect;
                }
            }
            return popup.has_value();
        },
        10s);
    return popup;
}

QList<int> ProgramInstance::menuRows(const QRect& popup) {
    const QImage image = grabScreen(popup);
    QList<int> rows;
    int bandStart = -1;
    // A row of text has dark pixels in the captions' column, left of shortcuts and arrows;
    // separators are a pixel or two high.
    for (int y = 0; y <= image.height(); ++y) {
        bool dark = false;
        for (int x = 16; y < image.height() && x < std::min(image.width(), 140) && !dark; ++x) {
            dark = qGray(image.pixel(x, y)) < 90;
        }
        if (dark && bandStart < 0) {
            bandStart = y;
        } else if (!dark && bandStart >= 0) {
            if (y - bandStart >= 5) {
                rows.append(popup.top() + (bandStart + y - 1) / 2);
            }
            bandStart = -1;
        }
    }
    return rows;
}

}  // namespace vantorel::testing
