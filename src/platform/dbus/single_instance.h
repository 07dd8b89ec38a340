#pragma once

#include <QDBusConnection>
#include <QString>

namespace vantorel {

// One Vantorel per user session, settled by owning a name on the session bus: the bus hands
// the name to exactly one connection and takes it back when that process ends, however it ends.
// The first instance keeps the name on its connection, where the objects that other programs
// (or a second start) call can be registered. Main thread only.
class SingleInstance {
  public:
    enum class Claim {
        first,           // this process owns the name
        alreadyRunning,  // another process owns it
        noBus,           // no session bus: nothing to settle it with, so run
    };

    static inline const QString kDefaultName = "org.vantorel.Vantorel";

    explicit SingleInstance(QDBusConnection bus, QString name = kDefaultName);
    ~SingleInstance();

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Claim claim() const { return claim_; }
    // The connection that owns (or was refused) the name, and the name.
    const QDBusConnection& connection() const { return bus_; }
    const QString& name() const { return name_; }

  private:
    QDBusConnection bus_;
    QString name_;
    Claim claim_ = Claim::noBus;
};

}  // namespace vantorel
