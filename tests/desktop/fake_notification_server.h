#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace vantorel::testing {

// One Notify call as the server received it.
struct ReceivedNotification {
    uint id = 0;
    QString appName;
    uint replacesId = 0;
    QString appIcon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int expireTimeout = 0;
};

class FakeNotificationServer;

class FakeNotificationsAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    explicit FakeNotificationsAdaptor(FakeNotificationServer* server);

  public Q_SLOTS:
    QStringList GetCapabilities();
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout, const QDBusMessage& message);
    void CloseNotification(uint id);

  Q_SIGNALS:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

  private:
    FakeNotificationServer* server_;
};

// A notification server that owns org.freedesktop.Notifications on a connection of its own,
// records what it is sent and emits the signals a real server would.
class FakeNotificationServer final : public QObject {
    Q_OBJECT

  public:
    FakeNotificationServer(QDBusConnection connection, QStringList capabilities);
    ~FakeNotificationServer() override;

    bool registered() const { return registered_; }

    // The user clicked the notification ("default") or one of its actions.
    void invokeAction(uint id, const QString& actionKey);
    // The notification went away (1 expired, 2 dismissed, 3 closed by a call).
    void close(uint id, uint reason);

    std::vector<ReceivedNotification> received;
    QStringList capabilities;
    int capabilityRequests = 0;
    bool refuseNotify = false;  // answer Notify with an error
    bool silent = false;        // never answer Notify

  private:
    friend class FakeNotificationsAdaptor;

    QDBusConnection connection_;
    FakeNotificationsAdaptor* adaptor_;
    bool registered_ = false;
    uint nextId_ = 2;  // like a fresh dunst
};

}  // namespace vantorel::testing
