#include "platform/dbus/single_instance.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>

namespace vantorel {

SingleInstance::SingleInstance(QDBusConnection bus, QString name)
    : bus_(std::move(bus)), name_(std::move(name)) {
    QDBusConnectionInterface* daemon = bus_.isConnected() ? bus_.interface() : nullptr;
    if (daemon == nullptr) {
        return;
    }
    // Not queued: a second start must learn at once that it is second, and the first must not
    // be replaced by it.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        daemon->registerService(name_, QDBusConnectionInterface::DontQueueService,
                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        return;  // the bus would not answer: better two instances than none
    }
    claim_ = reply.value() == QDBusConnectionInterface::ServiceRegistered ? Claim::first
                                                                          : Claim::alreadyRunning;
}

SingleInstance::~SingleInstance() {
    if (claim_ == Claim::first && bus_.isConnected()) {
        bus_.interface()->unregisterService(name_);
    }
}

}  // namespace vantorel
