#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QTimer>

#include <unistd.h>

#include "event_loop.h"
#include "platform/wayland/wayland_capture_source.h"
#include "private_bus.h"
#include "sink_log.h"

// A stream as the portal lists it: a PipeWire node and its properties.
struct PortalStream {
    uint node = 0;
    QVariantMap properties;
};
inline QDBusArgument& operator<<(QDBusArgument& out, const PortalStream& s) {
    out.beginStructure();
    out << s.node << s.properties;
    out.endStructure();
    return out;
}
inline const QDBusArgument& operator>>(const QDBusArgument& in, PortalStream& s) {
    in.beginStructure();
    in >> s.node >> s.properties;
    in.endStructure();
    return in;
}

Q_DECLARE_METATYPE(PortalStream)

// The consent to share the screen, with the portal client against a stand-in desktop portal on
// a private bus: what it asks, how a refusal and a wrong monitor end, and what becomes of the
// kept consent. The stream itself is tested for real on the Wayland desktop (wayland_e2e).
namespace vantorel::testing {
namespace {

// org.freedesktop.portal.ScreenCast answering each request with `codes` in turn (0 allowed,
// 1 cancelled, 2 refused); a started session shares one 1280x720 monitor.
class StandInPortal final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.ScreenCast")

  public:
    StandInPortal(QDBusConnection bus, std::vector<uint> codes)
        : bus_(std::move(bus)), codes_(std::move(codes)) {
        bus_.registerService("org.freedesktop.portal.Desktop");
        bus_.registerObject("/org/freedesktop/portal/desktop", this,
                            QDBusConnection::ExportAllSlots);
    }
    QVariantMap selected;  // the options of SelectSources

  public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& call) {
        return answer(call, options, {{"session_handle", "/org/freedesktop/portal/desktop/s1"}});
    }
    QDBusObjectPath SelectSources(const QDBusObjectPath&, const QVariantMap& options,
                                  const QDBusMessage& call) {
        selected = options;
        return answer(call, options, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath&, const QString&, const QVariantMap& options,
                          const QDBusMessage& call) {
        const QList<PortalStream> streams{{7, {{"size", QVariant::fromValue(size())}}}};
        return answer(call, options,
                      {{"streams", QVariant::fromValue(streams)}, {"restore_token", "new-token"}});
    }
    QDBusUnixFileDescriptor OpenPipeWireRemote(const QDBusObjectPath&, const QVariantMap&) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        QDBusUnixFileDescriptor fd(ends[0]);
        close(ends[0]);
        close(ends[1]);
        return fd;
    }

  private:
    static QDBusArgument size() {
        QDBusArgument pair;
        pair.beginStructure();
        pair << 1280 << 720;
        pair.endStructure();
        return pair;
    }
    QDBusObjectPath answer(const QDBusMessage& call, const QVariantMap& options,
                           QVariantMap results) {
        const QString path =
            QString("/org/freedesktop/portal/desktop/request/%1/%2")
                .arg(call.service().mid(1).replace('.', '_'), options["handle_token"].toString());
        const uint code = codes_.empty() ? 0 : codes_.front();
        if (!codes_.empty()) {
            codes_.erase(codes_.begin());
        }
        QTimer::singleShot(0, this, [this, path, code, results] {
            QDBusMessage response =
                QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            response << code << results;
            bus_.send(response);
        });
        return QDBusObjectPath(path);
    }

    QDBusConnection bus_;
    std::vector<uint> codes_;
};

struct ConsentCase {
    const char* name;
    bool portal;              // whether a portal answers at all
    std::vector<uint> codes;  // its answers to CreateSession, SelectSources and Start
    QString monitor;          // where the region is
    Error::Kind kind;
    QString keptToken;  // the consent kept afterwards, from "old-token"
};

class PortalConsent : public ::testing::TestWithParam<ConsentCase> {};

TEST_P(PortalConsent, EndsAsTheDesktopDecided) {
    qDBusRegisterMetaType<PortalStream>();
    qDBusRegisterMetaType<QList<PortalStream>>();
    const ConsentCase& c = GetParam();
    PrivateBus bus;
    std::optional<StandInPortal> portal;
    if (c.portal) {
        portal.emplace(bus.connect("portal"), c.codes);
    }
    QString kept = "old-token";
    WaylandCaptureOptions options;
    options.bus = bus.connect("program");
    options.monitors = [] {
        return std::vector<DesktopMonitor>{{"MON-A", {0, 0, 1920, 1080}, {1920, 1080}},
                                           {"MON-B", {1920, 0, 1280, 720}, {1280, 720}}};
    };
    options.restoreToken = [&] { return kept; };
    options.keepRestoreToken = [&](const QString& token) { kept = token; };
    const std::unique_ptr<CaptureSource> source = makeWaylandCaptureSourceFactory(options)();
    SinkLog sink;
    std::optional<std::optional<Error>> answer;
    CaptureRequest request;
    request.monitor = c.monitor;
    request.region = QRect(0, 0, 640, 360);
    source->start(request, sink, [&](std::optional<Error> e) { answer = e; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    source->stop();
    ASSERT_TRUE(answer->has_value());
    EXPECT_EQ((*answer)->kind, c.kind) << (*answer)->details().toStdString();
    EXPECT_EQ(kept, c.keptToken);
    if (portal && c.codes.size() > 1) {
        EXPECT_EQ(portal->selected["restore_token"].toString(), "old-token");
        EXPECT_EQ(portal->selected["persist_mode"].toUInt(), 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , PortalConsent,
    ::testing::Values(
        ConsentCase{"NoPortal", false, {}, "MON-A", Error::Kind::permissionDeclined, ""},
        ConsentCase{
            "DialogCancelled", true, {0, 0, 1}, "MON-A", Error::Kind::permissionDeclined, ""},
        ConsentCase{"SharingRefused", true, {0, 2}, "MON-A", Error::Kind::permissionDeclined, ""},
        ConsentCase{
            "OtherMonitorShared", true, {0, 0, 0}, "MON-A", Error::Kind::otherMonitorShared, ""},
        ConsentCase{
            "RegionsMonitorShared", true, {0, 0, 0}, "MON-B", Error::Kind::failed, "new-token"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace vantorel::testing

#include "portal_consent_test.moc"
