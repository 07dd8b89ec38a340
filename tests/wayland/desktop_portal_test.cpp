#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QTimer>

#include <unistd.h>

#include "event_loop.h"
#include "platform/dbus/portal_global_shortcut.h"
#include "platform/wayland/wayland_capture_source.h"
#include "private_bus.h"
#include "sink_log.h"

// A stream as the ScreenCast portal lists it: a PipeWire node and its properties.
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
inline const QDBusArgument& operator>>(const QDBusArgument& in, PortalStream&) {
    return in;  // only ever sent
}
Q_DECLARE_METATYPE(PortalStream)

// The program's side of the desktop portal against a stand-in on a private bus: the consent to
// share the screen (how a refusal and a wrong monitor end, what becomes of the kept consent) and
// the global shortcut. The stream itself is tested for real on the Wayland desktop (wayland_e2e).
namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

const QString kPortalPath = "/org/freedesktop/portal/desktop";

// org.freedesktop.portal.ScreenCast and GlobalShortcuts, answering each request with `codes` in
// turn (0 allowed, 1 cancelled, 2 refused). A started cast shares one 1280x720 monitor.
class StandInPortal final : public QObject {
    Q_OBJECT

  public:
    StandInPortal(QDBusConnection bus, const QString& interface, std::vector<uint> codes)
        : bus_(std::move(bus)), codes_(std::move(codes)) {
        qDBusRegisterMetaType<PortalStream>();
        qDBusRegisterMetaType<QList<PortalStream>>();
        bus_.registerService("org.freedesktop.portal.Desktop");
        // Qt exports an object under one interface: the one each test talks to.
        bus_.registerObject(kPortalPath, "org.freedesktop.portal." + interface, this,
                            QDBusConnection::ExportAllSlots);
    }
    QList<PortalShortcut> bound;  // what BindShortcuts asked for

    void press(const QString& id) {
        QDBusMessage activated = QDBusMessage::createSignal(
            kPortalPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
        activated << QVariant::fromValue(QDBusObjectPath(kPortalPath + "/session/1")) << id
                  << qulonglong(0) << QVariantMap();
        bus_.send(activated);
    }

  public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& call) {
        return answer(call, options, {{"session_handle", kPortalPath + "/session/1"}});
    }
    QDBusObjectPath SelectSources(const QDBusObjectPath&, const QVariantMap& options,
                                  const QDBusMessage& call) {
        return answer(call, options, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath&, const QString&, const QVariantMap& options,
                          const QDBusMessage& call) {
        QDBusArgument size;
        size.beginStructure();
        size << 1280 << 720;
        size.endStructure();
        const QList<PortalStream> streams{{7, {{"size", QVariant::fromValue(size)}}}};
        return answer(call, options,
                      {{"streams", QVariant::fromValue(streams)}, {"restore_token", "new-token"}});
    }
    QDBusUnixFileDescriptor OpenPipeWireRemote(const QDBusObjectPath&, const QVariantMap&) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        const QDBusUnixFileDescriptor fd(ends[0]);  // a remote that is gone at once
        close(ends[0]);
        close(ends[1]);
        return fd;
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath&,
                                  const QList<vantorel::PortalShortcut>& shortcuts, const QString&,
                                  const QVariantMap& options, const QDBusMessage& call) {
        bound = shortcuts;
        return answer(call, options, {});
    }

  private:
    QDBusObjectPath answer(const QDBusMessage& call, const QVariantMap& options,
                           QVariantMap results) {
        const QString path = QString("%1/request/%2/%3")
                                 .arg(kPortalPath, call.service().mid(1).replace('.', '_'),
                                      options["handle_token"].toString());
        const uint code = codes_.empty() ? 0 : codes_.front();
        if (!codes_.empty()) {
            codes_.erase(codes_.begin());
        }
        QTimer::singleShot(0, this, [this, path, code, results] {
            bus_.send(QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response")
                      << code << results);
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

class ScreenCastConsent : public ::testing::TestWithParam<ConsentCase> {};

TEST_P(ScreenCastConsent, EndsAsTheDesktopDecided) {
    const ConsentCase& c = GetParam();
    PrivateBus bus;
    std::optional<StandInPortal> portal;
    if (c.portal) {
        portal.emplace(bus.connect("portal"), "ScreenCast", c.codes);
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
    source->start({c.monitor, {0, 0, 640, 360}, {}, 30, true, false}, sink,
                  [&](std::optional<Error> e) { answer = e; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    source->stop();
    ASSERT_TRUE(answer->has_value());
    EXPECT_EQ((*answer)->kind, c.kind) << (*answer)->details().toStdString();
    EXPECT_EQ(kept, c.keptToken);
}

INSTANTIATE_TEST_SUITE_P(
    , ScreenCastConsent,
    ::testing::Values(
        ConsentCase{"NoPortal", false, {}, "MON-A", Error::Kind::permissionDeclined, ""},
        ConsentCase{
            "DialogCancelled", true, {0, 0, 1}, "MON-A", Error::Kind::permissionDeclined, ""},
        ConsentCase{"SharingRefused", true, {0, 2}, "MON-A", Error::Kind::permissionDeclined, ""},
        ConsentCase{
            "OtherMonitorShared", true, {0, 0, 0}, "MON-A", Error::Kind::otherMonitorShared, ""},
        // The right monitor: the consent is kept, and the stream is tried (its remote is gone).
        ConsentCase{
            "RegionsMonitorShared", true, {0, 0, 0}, "MON-B", Error::Kind::failed, "new-token"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PortalGlobalShortcutTest, SuperShiftRIsOfferedAndItsPressesToggle) {
    PrivateBus bus;
    StandInPortal portal(bus.connect("portal"), "GlobalShortcuts", {});
    PortalGlobalShortcut shortcut(bus.connect("program"));
    int presses = 0;
    QObject::connect(&shortcut, &PortalGlobalShortcut::pressed, [&] { ++presses; });
    shortcut.bind();
    ASSERT_TRUE(waitUntil([&] { return shortcut.bound(); }));
    ASSERT_EQ(portal.bound.size(), 1);
    EXPECT_EQ(portal.bound[0].options["preferred_trigger"].toString(), "LOGO+SHIFT+r");
    portal.press("another-program's");
    portal.press(PortalGlobalShortcut::kId);
    EXPECT_TRUE(waitUntil([&] { return presses == 1; }));
    pause(100ms);
    EXPECT_EQ(presses, 1);
}

// Telling the shared monitor by what the portal says of it, and finding the region in its stream.
const std::vector<DesktopMonitor> kMonitors{{"LEFT", {0, 0, 1920, 1080}, {1920, 1080}},
                                            {"RIGHT", {1920, 0, 1920, 1080}, {1920, 1080}},
                                            {"HIDPI", {3840, 0, 1280, 720}, {2560, 1440}}};

TEST(MonitorMapping, TheSharedMonitorIsToldBySizeAndByAPositionThatSaysSomething) {
    using Case = std::tuple<QString, std::optional<QPoint>, QSize, bool>;
    for (const auto& [wanted, at, size, shares] : std::vector<Case>{
             {"RIGHT", QPoint(1920, 0), {1920, 1080}, true},
             {"LEFT", QPoint(1920, 0), {1920, 1080}, false},
             {"RIGHT", QPoint(0, 0), {1920, 1080}, true},  // (0, 0) for every monitor
             {"HIDPI", std::nullopt, {1920, 1080}, false},
             {"HIDPI", std::nullopt, {2560, 1440}, true},  // pixels rather than logical size
             {"LEFT", std::nullopt, {1280, 720}, false}}) {
        EXPECT_EQ(sharesMonitor(kMonitors, wanted, at, size), shares) << wanted.toStdString();
    }
}

TEST(MonitorMapping, TheRegionIsScaledToTheStreamsPixelsAndClippedToThem) {
    using Case = std::tuple<QSize, QSize, QRect, QRect>;  // monitor, stream, region, cut
    for (const auto& [monitor, stream, region, cut] : std::vector<Case>{
             {{1920, 1080}, {1920, 1080}, {300, 300, 640, 360}, {300, 300, 640, 360}},
             {{1280, 720}, {2560, 1440}, {10, 20, 100, 50}, {20, 40, 200, 100}},
             {{1536, 864}, {1920, 1080}, {100, 100, 401, 201}, {125, 125, 501, 251}},  // 1.25
             {{1920, 1080}, {1920, 1080}, {1800, 1000, 300, 300}, {1800, 1000, 120, 80}},
             {{1920, 1080}, {1920, 1080}, {2000, 0, 10, 10}, {}}}) {
        EXPECT_EQ(regionInStream(region, monitor, stream), cut);
    }
}

}  // namespace
}  // namespace vantorel::testing

#include "desktop_portal_test.moc"
