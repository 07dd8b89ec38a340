#include "platform/wayland/screencast_portal.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>

namespace vantorel {

namespace {

const QString kService = "org.freedesktop.portal.Desktop";
const QString kPath = "/org/freedesktop/portal/desktop";
const QString kScreenCast = "org.freedesktop.portal.ScreenCast";
const QString kRequest = "org.freedesktop.portal.Request";
const QString kSession = "org.freedesktop.portal.Session";

// Source types and cursor modes of the ScreenCast interface.
constexpr uint kMonitor = 1;
constexpr uint kCursorHidden = 1;
constexpr uint kCursorEmbedded = 2;
// Keep the consent until it is revoked, not only for this run of the program.
constexpr uint kPersistUntilRevoked = 2;
// Response codes of a request.
constexpr uint kSuccess = 0;
constexpr uint kCancelled = 1;

// (ii) as the portal sends sizes and positions.
std::optional<QPoint> pairOf(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) {
        return std::nullopt;
    }
    const QDBusArgument argument = value.value<QDBusArgument>();
    int first = 0;
    int second = 0;
    argument.beginStructure();
    argument >> first >> second;
    argument.endStructure();
    return QPoint(first, second);
}

// The first stream of a(ua{sv}): one monitor was asked for.
std::optional<SharedMonitor> firstStream(const QVariant& streams) {
    if (!streams.canConvert<QDBusArgument>()) {
        return std::nullopt;
    }
    const QDBusArgument argument = streams.value<QDBusArgument>();
    std::optional<SharedMonitor> found;
    argument.beginArray();
    while (!argument.atEnd()) {
        uint node = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
        if (!found) {
            SharedMonitor monitor;
            monitor.node = node;
            monitor.position = pairOf(properties.value("position"));
            if (const std::optional<QPoint> size = pairOf(properties.value("size"))) {
                monitor.size = QSize(size->x(), size->y());
            }
            found = monitor;
        }
    }
    argument.endArray();
    return found;
}

QString objectPathIn(const QVariant& value) {
    return value.canConvert<QDBusObjectPath>() ? value.value<QDBusObjectPath>().path()
                                               : value.toString();
}

}  // namespace

ScreenCastPortal::ScreenCastPortal(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), tokenBase_(QRandomGenerator::global()->generate()) {}

ScreenCastPortal::~ScreenCastPortal() {
    close();
}

void ScreenCastPortal::share(bool showCursor, const QString& restoreToken) {
    if (step_ != Step::idle) {
        return;
    }
    showCursor_ = showCursor;
    restoreToken_ = restoreToken;
    step_ = Step::creating;
    request("CreateSession", {}, {{"session_handle_token", nextToken()}});
}

// Unique across the sessions of this process too: a back end may keep a closed session's object
// for a while (xdg-desktop-portal-wlr does), and a new session at its path fails.
QString ScreenCastPortal::nextToken() {
    return QString("vantorel_%1_%2").arg(tokenBase_).arg(++requestCount_);
}

void ScreenCastPortal::request(const QString& method, const QVariantList& arguments,
                               QVariantMap options) {
    // The request's object path is known before the call, so that its answer cannot come
    // before we listen for it.
    const QString token = nextToken();
    const QString sender = bus_.baseService().mid(1).replace('.', '_');
    pendingRequest_ = QString("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    bus_.connect(kService, pendingRequest_, kRequest, "Response", this,
                 SLOT(answered(uint, QVariantMap)));
    options.insert("handle_token", token);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kScreenCast, method);
    call.setArguments(QVariantList(arguments) << options);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, method](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                if (done->isError()) {
                    // No portal at all, or no ScreenCast in it: sharing cannot be allowed here.
                    refuse(method + ": " + done->error().message());
                }
            });
}

void ScreenCastPortal::answered(uint code, const QVariantMap& results) {
    bus_.disconnect(kService, pendingRequest_, kRequest, "Response", this,
                    SLOT(answered(uint, QVariantMap)));
    if (code != kSuccess) {
        refuse(code == kCancelled ? tr("the sharing dialog was cancelled")
                                  : tr("the desktop refused to share the screen"));
        return;
    }
    switch (step_) {
        case Step::creating:
            session_ = objectPathIn(results.value("session_handle"));
            bus_.connect(kService, session_, kSession, "Closed", this,
                         SLOT(sessionClosed(QVariantMap)));
            select();
            break;
        case Step::selecting:
            start();
            break;
        case Step::starting:
            openRemote(results);
            break;
        case Step::idle:
        case Step::running:
        case Step::closed:
            break;
    }
}

void ScreenCastPortal::select() {
    step_ = Step::selecting;
    QVariantMap options{{"types", kMonitor},
                        {"multiple", false},
                        {"cursor_mode", showCursor_ ? kCursorEmbedded : kCursorHidden},
                        {"persist_mode", kPersistUntilRevoked}};
    if (!restoreToken_.isEmpty()) {
        options.insert("restore_token", restoreToken_);
    }
    request("SelectSources", {QVariant::fromValue(QDBusObjectPath(session_))}, options);
}

void ScreenCastPortal::start() {
    step_ = Step::starting;
    request("Start", {QVariant::fromValue(QDBusObjectPath(session_)), QString()}, {});
}

void ScreenCastPortal::openRemote(const QVariantMap& results) {
    std::optional<SharedMonitor> monitor = firstStream(results.value("streams"));
    if (!monitor) {
        fail(tr("the desktop shared no monitor"));
        return;
    }
    monitor->restoreToken = results.value("restore_token").toString();
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kScreenCast, "OpenPipeWireRemote");
    call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, monitor = *monitor](QDBusPendingCallWatcher* done) mutable {
                done->deleteLater();
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *done;
                if (reply.isError() || !reply.value().isValid()) {
                    fail("OpenPipeWireRemote: " + reply.error().message());
                    return;
                }
                monitor.remote = reply.value();
                step_ = Step::running;
                emit shared(monitor);
            });
}

void ScreenCastPortal::refuse(const QString& detail) {
    if (step_ == Step::closed || step_ == Step::running) {
        return;
    }
    close();
    emit refused(
        Error{Error::Kind::permissionDeclined, tr("Screen sharing was not allowed."), detail});
}

void ScreenCastPortal::fail(const QString& detail) {
    close();
    emit failed(
        Error{Error::Kind::failed, tr("The desktop's screen sharing did not start."), detail});
}

void ScreenCastPortal::sessionClosed(const QVariantMap& /*details*/) {
    const bool wasRunning = step_ == Step::running;
    step_ = Step::closed;
    session_.clear();
    if (wasRunning) {
        emit ended();
    }
}

void ScreenCastPortal::close() {
    if (step_ == Step::closed) {
        return;
    }
    if (!pendingRequest_.isEmpty()) {
        bus_.disconnect(kService, pendingRequest_, kRequest, "Response", this,
                        SLOT(answered(uint, QVariantMap)));
    }
    if (!session_.isEmpty()) {
        bus_.disconnect(kService, session_, kSession, "Closed", this,
                        SLOT(sessionClosed(QVariantMap)));
        bus_.asyncCall(QDBusMessage::createMethodCall(kService, session_, kSession, "Close"));
    }
    step_ = Step::closed;
}

}  // namespace vantorel
