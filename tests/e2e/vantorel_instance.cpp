#include "vantorel_instance.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace vantorel::e2e {

VantorelInstance::VantorelInstance(const QJsonObject& preferences) {
    QDir().mkpath(home());
    QDir().mkpath(dir_.filePath("config/Vantorel"));
    if (!preferences.isEmpty()) {
        QSaveFile file(preferencesPath());
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(preferences).toJson());
        file.commit();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home());
    env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    env.remove("XDG_VIDEOS_DIR");
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

VantorelInstance::~VantorelInstance() {
    stop();
    if (!busAddress_.isEmpty()) {
        QDBusConnection::disconnectFromBus(busAddress_);
    }
    if (busDaemon_.state() != QProcess::NotRunning) {
        busDaemon_.terminate();
        busDaemon_.waitForFinished(10000);
    }
}

bool VantorelInstance::startBus() {
    const QString config = dir_.filePath("bus.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
    file.close();
    busDaemon_.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
    if (!busDaemon_.waitForStarted()) {
        return false;
    }
    waitUntil([this] { return busDaemon_.canReadLine() || !busDaemon_.isOpen(); }, 10s, 20ms);
    busAddress_ = QString::fromUtf8(busDaemon_.readLine()).trimmed();
    if (busAddress_.isEmpty()) {
        return false;
    }
    QProcessEnvironment env = process_.processEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    process_.setProcessEnvironment(env);
    return bus().isConnected();
}

QDBusConnection VantorelInstance::bus() const {
    return QDBusConnection::connectToBus(busAddress_, busAddress_);
}

bool VantorelInstance::start() {
    if (!startBus()) {
        return false;
    }
    process_.start(VANTOREL_BINARY, {});
    if (!process_.waitForStarted()) {
        return false;
    }
    return waitUntil(
               [this] {
                   for (WindowId window : visibleWindowsOf(pid())) {
                       const std::optional<QRect> rect = windowRect(window);
                       // The tray host sits at the top right of the first screen.
                       if (rect && rect->top() < 40 && rect->width() < 64 && rect->height() < 64) {
                           trayIcon_ = rect;
                           return true;
                       }
                   }
                   return !running();
               },
               30s) &&
           running() && trayIcon_.has_value();
}

bool VantorelInstance::stop() {
    if (process_.state() == QProcess::NotRunning) {
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    process_.terminate();
    if (!process_.waitForFinished(30000)) {
        process_.kill();
        process_.waitForFinished(10000);
        return false;
    }
    output();
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

QString VantorelInstance::output() {
    output_ += QString::fromLocal8Bit(process_.readAll());
    return output_;
}

QJsonObject VantorelInstance::preferences() const {
    QFile file(preferencesPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList VantorelInstance::recentRecordings() const {
    QStringList paths;
    for (const QJsonValue& value : preferences().value("recentRecordings").toArray()) {
        paths.append(value.toString());
    }
    return paths;
}

QList<WindowId> VantorelInstance::windows() const {
    QList<WindowId> found;
    for (WindowId window : visibleWindowsOf(pid())) {
        const std::optional<QRect> rect = windowRect(window);
        if (rect && rect != trayIcon_) {
            found.append(window);
        }
    }
    return found;
}

int VantorelInstance::screenSizedWindows() const {
    int count = 0;
    for (WindowId window : windows()) {
        const std::optional<QRect> rect = windowRect(window);
        if (rect && rect->size() == QSize(1920, 1080)) {
            ++count;
        }
    }
    return count;
}

std::optional<QRect> VantorelInstance::openTrayMenu() {
    if (!trayIcon_) {
        return std::nullopt;
    }
    const QList<WindowId> before = windows();
    click(trayIcon_->center(), 3);
    std::optional<QRect> popup;
    waitUntil(
        [&] {
            for (WindowId window : windows()) {
                if (!before.contains(window)) {
                    popup = windowRect(window);
                    return popup.has_value();
                }
            }
            return false;
        },
        10s);
    // Qt paints the popup right after mapping it; wait for its items to show.
    if (popup && !waitUntil([&] { return !menuRows(*popup).isEmpty(); }, 5s)) {
        return std::nullopt;
    }
    return popup;
}

QList<int> VantorelInstance::menuRows(const QRect& popup) const {
    const QImage image = grabScreen(popup);
    QList<int> rows;
    int bandStart = -1;
    // A text row is one with dark pixels in the title column (left of shortcuts and arrows).
    const int right = std::min(image.width() - 1, 140);
    for (int y = 0; y <= image.height(); ++y) {
        bool dark = false;
        for (int x = 16; y < image.height() && x < right; ++x) {
            if (luminance(image.pixel(x, y)) < 90) {
                dark = true;
                break;
            }
        }
        if (dark && bandStart < 0) {
            bandStart = y;
        } else if (!dark && bandStart >= 0) {
            if (y - bandStart >= 5) {  // separators are one or two pixels
                rows.append(popup.top() + (bandStart + y - 1) / 2);
            }
            bandStart = -1;
        }
    }
    return rows;
}

bool VantorelInstance::chooseStartRecording() {
    const std::optional<QRect> popup = openTrayMenu();
    if (!popup) {
        return false;
    }
    const QList<int> rows = menuRows(*popup);
    if (rows.isEmpty()) {
        return false;
    }
    click(QPoint(popup->left() + 60, rows.first()));
    return true;
}

}  // namespace vantorel::e2e
