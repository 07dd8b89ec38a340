#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>

namespace vantorel::testing {

// A message bus of the test's own: a dbus-daemon with no activatable services, so that nothing
// installed on the machine (a notification daemon, say) starts up behind the test's back.
// Stopped, with every connection made through it, when the object goes.
class PrivateBus {
  public:
    PrivateBus() {
        QFile config(dir_.filePath("bus.conf"));
        config.open(QIODevice::WriteOnly);
        // Everything may be sent, received and owned.
        config.write(QString(R"(<busconfig><type>session</type><listen>unix:dir=%1</listen>
            <auth>EXTERNAL</auth><policy context="default"><allow send_destination="*"/>
            <allow eavesdrop="true"/><allow own="*"/></policy></busconfig>)")
                         .arg(dir_.path())
                         .toUtf8());
        config.close();
        daemon_.start("dbus-daemon",
                      {"--nofork", "--print-address=1", "--config-file=" + config.fileName()});
        // The daemon prints its address once it listens.
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(10000)) {
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : names_) {
            QDBusConnection::disconnectFromBus(name);
        }
        daemon_.kill();
        daemon_.waitForFinished();
    }

    const QString& address() const { return address_; }
    // A new connection to this bus, named after it too: Qt keeps connections by name for the
    // whole process.
    QDBusConnection connect(const QString& role) {
        names_.append(role + "@" + address_);
        return QDBusConnection::connectToBus(address_, names_.last());
    }

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

}  // namespace vantorel::testing
