#include "platform/dbus/freedesktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QVariantMap>

#include "feedback/alerts.h"
#include "platform/file_browser.h"
#include "platform/main_thread.h"

namespace vantorel {

namespace {

const QString kService = "org.freedesktop.Notifications";
const QString kPath = "/org/freedesktop/Notifications";
const QString kInterface = "org.freedesktop.Notifications";
const QString kRevealTitle = "Show in Folder";
// Let the server pick how long the notification stays.
constexpr int kServerDefaultTimeout = -1;

// Sends `call` without waiting; `answered` gets the reply (or the error, also when none came
// within `timeoutMs`) on the main thread.
template <typename Handler>
void callAsync(QDBusConnection& bus, int timeoutMs, QObject* context, QDBusMessage call,
               Handler answered) {
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* done) {
                         answered(*done);
                         done->deleteLater();
                     });
}

// The server finds the program's name and icon through its desktop entry: the one the
// application declared, which is the installed file's name without ".desktop".
QString desktopEntry() {
    const QString declared = QGuiApplication::desktopFileName();
    return declared.isEmpty() ? QString("vantorel") : declared;
}

}  // namespace

FreedesktopNotifier::FreedesktopNotifier(QDBusConnection bus, Presenter& presenter,
                                         FileBrowser& fileBrowser,
                                         std::chrono::milliseconds patience)
    : bus_(std::move(bus)),
      fileBrowser_(fileBrowser),
      patienceMs_(static_cast<int>(patience.count())),
      fallback_(presenter, fileBrowser) {
    connect(&fallback_, &Notifier::settled, this, &FreedesktopNotifier::settleWhenIdle);
    if (bus_.isConnected()) {
        // Servers send these to the client that posted (some to everyone); ids not ours are
        // ignored.
        bus_.connect(kService, kPath, kInterface, "ActionInvoked", this,
                     SLOT(actionInvoked(uint, QString)));
        bus_.connect(kService, kPath, kInterface, "NotificationClosed", this,
                     SLOT(notificationClosed(uint, uint)));
    }
}

QString FreedesktopNotifier::asBody(QString text, bool serverReadsMarkup) {
    if (serverReadsMarkup) {
        text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
    }
    return text;
}

void FreedesktopNotifier::notifyFile(FileNews news, const QString& path) {
    announce(Announcement{Alerts::titleOf(news),
                          QFileInfo(path).fileName(),
                          {"default", kRevealTitle, "reveal", kRevealTitle},
                          path},
             [news, path](AlertNotifier& fallback) { fallback.notifyFile(news, path); });
}

void FreedesktopNotifier::notifyNotice(const QString& summary, const QString& body) {
    announce(Announcement{summary, body, {}, {}},
             [summary, body](AlertNotifier& fallback) { fallback.notifyNotice(summary, body); });
}

void FreedesktopNotifier::announce(const Announcement& announcement, const FallBack& fallBack) {
    ++posting_;
    if (!bus_.isConnected()) {
        fallBackWith(fallBack);
        return;
    }
    // Asked afresh each time: the server may have been replaced since the last save. A server
    // that does not answer this cannot show the notification either.
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities");
    callAsync(bus_, patienceMs_, this, call,
              [this, announcement, fallBack](const QDBusPendingCall& done) {
                  const QDBusPendingReply<QStringList> reply = done;
                  if (reply.isError()) {
                      fallBackWith(fallBack);
                      return;
                  }
                  post(announcement, reply.value().contains("body-markup"), fallBack);
              });
}

void FreedesktopNotifier::post(const Announcement& announcement, bool serverReadsMarkup,
                               const FallBack& fallBack) {
    const QVariantMap hints{{"desktop-entry", desktopEntry()}};
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    // replaces_id 0: every save gets a notification of its own.
    call << QString("Vantorel") << uint{0} << QString() << announcement.summary
         << asBody(announcement.body, serverReadsMarkup) << announcement.actions << hints
         << kServerDefaultTimeout;
    callAsync(bus_, patienceMs_, this, call,
              [this, path = announcement.path, fallBack](const QDBusPendingCall& done) {
                  const QDBusPendingReply<uint> reply = done;
                  if (reply.isError()) {
                      fallBackWith(fallBack);
                      return;
                  }
                  if (!path.isEmpty()) {
                      open_[reply.value()] = path;
                  }
                  handedOver();
              });
}

void FreedesktopNotifier::fallBackWith(const FallBack& fallBack) {
    fallBack(fallback_);
    handedOver();
}

void FreedesktopNotifier::handedOver() {
    --posting_;
    settleWhenIdle();
}

void FreedesktopNotifier::settleWhenIdle() {
    if (!busy()) {
        emit settled();
    }
}

void FreedesktopNotifier::actionInvoked(uint id, const QString& actionKey) {
    const auto found = open_.find(id);
    if (found == open_.end() || (actionKey != "default" && actionKey != "reveal")) {
        return;
    }
    postToMain([self = QPointer(this), path = found->second] {
        if (FreedesktopNotifier* notifier = self.data()) {
            notifier->fileBrowser_.revealFile(path);
        }
    });
}

void FreedesktopNotifier::notificationClosed(uint id, uint /*reason*/) {
    open_.erase(id);
}

}  // namespace vantorel
