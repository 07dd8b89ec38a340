#include "platform/dbus/portal_global_shortcut.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QRandomGenerator>

namespace vantorel {

namespace {

const QString kService = "org.freedesktop.portal.Desktop";
const QString kPath = "/org/freedesktop/portal/desktop";
const QString kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
const QString kRequest = "org.freedesktop.portal.Request";

}  // namespace

QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& shortcut) {
    out.beginStructure();
    out << shortcut.id << shortcut.options;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& shortcut) {
    in.beginStructure();
    in >> shortcut.id >> shortcut.options;
    in.endStructure();
    return in;
}

PortalGlobalShortcut::PortalGlobalShortcut(QDBusConnection bus, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      tokenBase_(QString("vantorel_keys_%1").arg(QRandomGenerator::global()->generate())) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

void PortalGlobalShortcut::bind() {
    if (step_ != Step::idle) {
        return;
    }
    step_ = Step::creating;
    request("CreateSession", {});
}

void PortalGlobalShortcut::request(const QString& method, const QVariantList& arguments) {
    // The request's path is known before the call, so that its answer cannot come first.
    const QString token = QString("%1_%2").arg(tokenBase_).arg(++requestCount_);
    const QString sender = bus_.baseService().mid(1).replace('.', '_');
    pendingRequest_ = QString("%1/request/%2/%3").arg(kPath, sender, token);
    bus_.connect(kService, pendingRequest_, kRequest, "Response", this,
                 SLOT(answered(uint, QVariantMap)));
    QVariantMap options{{"handle_token", token}};
    if (method == "CreateSession") {
        options.insert("session_handle_token", token);
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kShortcuts, method);
    call.setArguments(QVariantList(arguments) << options);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                if (done->isError()) {
                    unavailable();  // no portal, or no GlobalShortcuts in it
                }
            });
}

void PortalGlobalShortcut::answered(uint code, const QVariantMap& results) {
    bus_.disconnect(kService, pendingRequest_, kRequest, "Response", this,
                    SLOT(answered(uint, QVariantMap)));
    if (code != 0) {
        unavailable();  // the user declined the shortcut
        return;
    }
    if (step_ == Step::creating) {
        const QVariant handle = results.value("session_handle");
        session_ = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                        : handle.toString();
        bus_.connect(kService, kPath, kShortcuts, "Activated", this,
                     SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        step_ = Step::binding;
        const QList<PortalShortcut> shortcuts{{kId,
                                               {{"description", tr("Start or stop a recording")},
                                                {"preferred_trigger", "LOGO+SHIFT+r"}}}};
        request("BindShortcuts", {QVariant::fromValue(QDBusObjectPath(session_)),
                                  QVariant::fromValue(shortcuts), QString()});
    } else if (step_ == Step::binding) {
        step_ = Step::bound;
    }
}

void PortalGlobalShortcut::activated(const QDBusObjectPath& session, const QString& id,
                                     qulonglong /*timestamp*/, const QVariantMap& /*options*/) {
    if (session.path() == session_ && id == kId) {
        emit pressed();
    }
}

void PortalGlobalShortcut::unavailable() {
    step_ = Step::unavailable;
}

}  // namespace vantorel
