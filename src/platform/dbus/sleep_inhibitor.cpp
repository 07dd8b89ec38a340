#include "platform/dbus/sleep_inhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "platform/dbus/logind_names.h"

namespace vantorel {

namespace {

// logind's default InhibitDelayMaxSec is 5 s; a reply later than that is of no use anyway.
constexpr int kInhibitTimeoutMs = 5000;

}  // namespace

SleepInhibitor::SleepInhibitor(QDBusConnection bus) : bus_(std::move(bus)) {}

void SleepInhibitor::hold(bool wanted) {
    if (wanted == wanted_) {
        return;
    }
    wanted_ = wanted;
    ++generation_;
    if (wanted) {
        request();
    } else {
        // Closing our copy of the descriptor is what tells logind that sleep may go on.
        inhibitor_ = QDBusUnixFileDescriptor();
    }
}

void SleepInhibitor::request() {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(logind::kService, logind::kPath,
                                                       logind::kManager, "Inhibit");
    call << QString("sleep") << QString("Vantorel") << QString("Saving the recording")
         << QString("delay");
    // Asynchronous: the main thread never waits for the system bus.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kInhibitTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, asked = generation_](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *done;
                // Without logind, or refused: the stop is then simply not waited for.
                if (!reply.isError() && wanted_ && asked == generation_) {
                    inhibitor_ = reply.value();
                }
                done->deleteLater();
            });
}

}  // namespace vantorel
