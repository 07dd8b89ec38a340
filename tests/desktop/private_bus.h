#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vantorel::testing {

// A message bus of the test's own: a dbus-daemon with no activatable services, so that nothing
// installed on the machine (a notification daemon, say) starts up behind the test's back.
// Stopped, with every connection made through it, when the object goes.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();

    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return !address_.isEmpty(); }
    const QString& address() const { return address_; }

    // A new connection to this bus, under a name unique to this bus.
    QDBusConnection connect(const QString& role);

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList connectionNames_;
};

}  // namespace vantorel::testing
