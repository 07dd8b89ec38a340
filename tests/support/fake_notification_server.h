#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace vantorel::testing {

// A notification server that owns org.freedesktop.Notifications on a connection of its own,
// keeps what it is sent, and shows, refuses or never answers as the test says.
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    struct Shown {
        uint id;
        QString body;
        QStringList actions;
    };
    enum class Answer { shows, refuses, keepsSilent };

    explicit FakeNotificationServer(QDBusConnection connection) : bus_(std::move(connection)) {
        bus_.registerObject(kPath, this, QDBusConnection::ExportAllContents);
        bus_.registerService("org.freedesktop.Notifications");
    }
    ~FakeNotificationServer() override {
        bus_.unregisterService("org.freedesktop.Notifications");
        bus_.unregisterObject(kPath);
    }

    std::vector<Shown> shown;
    Answer answer = Answer::shows;

  public Q_SLOTS:
    QStringList GetCapabilities() { return {"actions", "body"}; }
    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body,
                const QStringList& actions, const QVariantMap&, int, const QDBusMessage& call) {
        if (answer != Answer::shows) {
            call.setDelayedReply(true);
            if (answer == Answer::refuses) {
                bus_.send(call.createErrorReply(QDBusError::Failed, "refused"));
            }
            return 0;
        }
        shown.push_back({nextId_, body, actions});
        return nextId_++;
    }

  Q_SIGNALS:
    // The user clicked the notification ("default") or one of its actions.
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

  private:
    static inline const QString kPath = "/org/freedesktop/Notifications";
    QDBusConnection bus_;
    uint nextId_ = 2;  // as a fresh dunst
};

}  // namespace vantorel::testing
