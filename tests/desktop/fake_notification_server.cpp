#include "fake_notification_server.h"

#include <QDBusConnectionInterface>

namespace vantorel::testing {

namespace {
const QString kName = "org.freedesktop.Notifications";
const QString kPath = "/org/freedesktop/Notifications";
}  // namespace

FakeNotificationsAdaptor::FakeNotificationsAdaptor(FakeNotificationServer* server)
    : QDBusAbstractAdaptor(server), server_(server) {}

QStringList FakeNotificationsAdaptor::GetCapabilities() {
    ++server_->capabilityRequests;
    return server_->capabilities;
}

QString FakeNotificationsAdaptor::GetServerInformation(QString& vendor, QString& version,
                                                       QString& specVersion) {
    vendor = "Vantorel tests";
    version = "1";
    specVersion = "1.2";
    return "fake-notifications";
}

uint FakeNotificationsAdaptor::Notify(const QString& appName, uint replacesId,
                                      const QString& appIcon, const QString& summary,
                                      const QString& body, const QStringList& actions,
                                      const QVariantMap& hints, int expireTimeout,
                                      const QDBusMessage& message) {
    if (server_->silent) {
        message.setDelayedReply(true);
        return 0;
    }
    if (server_->refuseNotify) {
        message.setDelayedReply(true);
        server_->connection_.send(
            message.createErrorReply("org.freedesktop.DBus.Error.Failed", "refused"));
        return 0;
    }
    const uint id = server_->nextId_++;
    server_->received.push_back(
        {id, appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
    return id;
}

void FakeNotificationsAdaptor::CloseNotification(uint id) {
    server_->close(id, 3);
}

FakeNotificationServer::FakeNotificationServer(QDBusConnection connection, QStringList caps)
    : capabilities(std::move(caps)),
      connection_(std::move(connection)),
      adaptor_(new FakeNotificationsAdaptor(this)) {
    registered_ = connection_.isConnected() && connection_.registerObject(kPath, this) &&
                  connection_.registerService(kName);
}

FakeNotificationServer::~FakeNotificationServer() {
    if (connection_.isConnected()) {
        connection_.unregisterService(kName);
        connection_.unregisterObject(kPath);
    }
}

void FakeNotificationServer::invokeAction(uint id, const QString& actionKey) {
    emit adaptor_->ActionInvoked(id, actionKey);
}

void FakeNotificationServer::close(uint id, uint reason) {
    emit adaptor_->NotificationClosed(id, reason);
}

}  // namespace vantorel::testing
