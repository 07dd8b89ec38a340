#include "app/logind_sleep_watcher.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vantorel {

namespace {

const QString kService = "org.freedesktop.login1";
const QString kPath = "/org/freedesktop/login1";
const QString kManager = "org.freedesktop.login1.Manager";
// logind's default InhibitDelayMaxSec is 5 s; a reply later than that is of no use anyway.
constexpr int kInhibitTimeoutMs = 5000;

}  // namespace

LogindSleepWatcher::LogindSleepWatcher(QDBusConnection bus, std::function<void()> willSleep)
    : bus_(std::move(bus)), willSleep_(std::move(willSleep)) {
    if (bus_.isConnected()) {
        // Matching on logind's name: only the owner of org.freedesktop.login1 is believed.
        bus_.connect(kService, kPath, kManager, "PrepareForSleep", this,
                     SLOT(prepareForSleep(bool)));
    }
}

LogindSleepWatcher::~LogindSleepWatcher() {
    if (bus_.isConnected()) {
        bus_.disconnect(kService, kPath, kManager, "PrepareForSleep", this,
                        SLOT(prepareForSleep(bool)));
    }
}

void LogindSleepWatcher::prepareForSleep(bool start) {
    // The false that follows on resume needs nothing: a recording that was running has been
    // stopped, and the next one asks for its own inhibitor.
    if (start && willSleep_) {
        willSleep_();
    }
}

void LogindSleepWatcher::recordingStarted() {
    if (recording_) {
        return;
    }
    recording_ = true;
    ++recordingNumber_;
    requestInhibitor();
}

void LogindSleepWatcher::recordingFinished() {
    recording_ = false;
    // Closing our copy of the descriptor is what tells logind that sleep may go on.
    inhibitor_ = QDBusUnixFileDescriptor();
}

void LogindSleepWatcher::requestInhibitor() {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, "Inhibit");
    call << QString("sleep") << QString("Vantorel") << QString("Saving the recording")
         << QString("delay");
    // Asynchronous: the main thread never waits for the system bus.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kInhibitTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, forRecording = recordingNumber_](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *done;
                // Without logind, or refused: recordings are then simply not waited for.
                if (!reply.isError()) {
                    inhibitorArrived(forRecording, reply.value());
                }
                done->deleteLater();
            });
}

void LogindSleepWatcher::inhibitorArrived(uint64_t forRecording,
                                          const QDBusUnixFileDescriptor& fd) {
    if (recording_ && forRecording == recordingNumber_ && fd.isValid()) {
        inhibitor_ = fd;
    }
}

}  // namespace vantorel
