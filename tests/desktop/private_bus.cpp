#include "private_bus.h"

#include <QFile>

namespace vantorel::testing {

namespace {

QString configFor(const QString& socketDir) {
    return QString(
               R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
        .arg(socketDir);
}

}  // namespace

PrivateBus::PrivateBus() {
    if (!dir_.isValid()) {
        return;
    }
    QFile config(dir_.filePath("bus.conf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(configFor(dir_.path()).toUtf8()) < 0) {
        return;
    }
    config.close();
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start("dbus-daemon",
                  {"--nofork", "--print-address=1", "--config-file=" + config.fileName()});
    if (!daemon_.waitForStarted(10000)) {
        return;
    }
    // The daemon prints its address once it listens.
    while (!daemon_.canReadLine()) {
        if (!daemon_.waitForReadyRead(10000)) {
            return;
        }
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : connectionNames_) {
        QDBusConnection::disconnectFromBus(name);
    }
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.kill();
        daemon_.waitForFinished(10000);
    }
}

QDBusConnection PrivateBus::connect(const QString& role) {
    // Named after this bus too: Qt keeps connections by name for the whole process.
    const QString name = QString("%1@%2").arg(role, address_);
    connectionNames_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

}  // namespace vantorel::testing
