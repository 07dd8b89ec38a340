#include <QDBusArgument>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFileInfo>
#include <QMutex>
#include <QThread>

#include "app/tray.h"
#include "flow_fixture.h"
#include "private_bus.h"

// The tray item on a StatusNotifierItem desktop (Plasma, waybar, GNOME's extension), seen from
// the host's side of the bus: the menu fetched over com.canonical.dbusmenu, clicks sent back by
// item id, and what the item sends while a recording runs.
namespace vantorel::testing {

// The desktop's org.kde.StatusNotifierWatcher with a host registered. Qt asks it with blocking
// calls from the main thread, so it answers from a thread of its own.
class FakeWatcher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

  public:
    bool hostRegistered() const { return true; }
    QString item() const {
        const QMutexLocker lock(&mutex_);
        return item_;
    }

  public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) {
        const QMutexLocker lock(&mutex_);
        item_ = service.startsWith('/') ? message().service() : service;
    }

  private:
    mutable QMutex mutex_;
    QString item_;
};

// Counts a signal of the item or its menu, as a host listening for it would.
class SignalCounter final : public QObject {
    Q_OBJECT

  public:
    SignalCounter(QDBusConnection bus, const QString& service, const QString& path,
                  const QString& name) {
        bus.connect(service, path, QString(), name, this, SLOT(count()));
    }
    int received = 0;

  public Q_SLOTS:
    void count() { ++received; }
};

namespace {

// An item's id by its label, and its children's, depth first.
void readItem(const QDBusArgument& item, QHash<QString, int>& ids) {
    int id = 0;
    QVariantMap properties;
    item.beginStructure();
    item >> id >> properties;
    ids.insert(properties.value("label").toString(), id);
    item.beginArray();
    while (!item.atEnd()) {
        readItem(qdbus_cast<QDBusVariant>(item).variant().value<QDBusArgument>(), ids);
    }
    item.endArray();
    item.endStructure();
}

// Qt settles on StatusNotifierItem or XEmbed once per process, asking the session bus: the bus
// with the watcher becomes the session bus before anything connects to one, and this program
// has this one test only.
using TrayOnStatusNotifierHost = FlowTest;

TEST_F(TrayOnStatusNotifierHost,
       TheMenuIsWholeAtOnceOldIdsActTicksChangeTheTooltipAloneAndRecentsShowTheirFile) {
    PrivateBus bus;
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    QThread thread;
    FakeWatcher watcher;
    watcher.moveToThread(&thread);
    thread.start();
    QDBusConnection watcherBus = bus.connect("watcher");
    QMetaObject::invokeMethod(
        &watcher,
        [&] {
            watcherBus.registerObject("/StatusNotifierWatcher", &watcher,
                                      QDBusConnection::ExportAllContents);
            watcherBus.registerService("org.kde.StatusNotifierWatcher");
        },
        Qt::BlockingQueuedConnection);
    makeFlow();
    FakeFileBrowser files;
    auto tray = std::make_unique<Tray>(*flow_, store_, presenter_, files);
    ASSERT_TRUE(waitUntil([&] { return !watcher.item().isEmpty(); }));
    // Asks without blocking, as the item answers from this thread; the item's signals sent
    // before the answer are in once it returns.
    QDBusConnection host = bus.connect("host");
    const auto call = [&](const QString& path, const QString& method, const QVariantList& args) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            watcher.item(), path,
            path == "/StatusNotifierItem" ? "org.freedesktop.DBus.Properties"
                                          : "com.canonical.dbusmenu",
            method);
        message.setArguments(args);
        QDBusPendingCall pending = host.asyncCall(message);
        EXPECT_TRUE(waitUntil([&] { return pending.isFinished(); }));
        drainMainThread();
        return pending.reply().arguments();
    };
    const QString menu = call("/StatusNotifierItem", "Get", {"org.kde.StatusNotifierItem", "Menu"})
                             .value(0)
                             .value<QDBusVariant>()
                             .variant()
                             .value<QDBusObjectPath>()
                             .path();
    const auto layout = [&] {
        QHash<QString, int> ids;
        readItem(call(menu, "GetLayout", {0, -1, QStringList()}).value(1).value<QDBusArgument>(),
                 ids);
        return ids;
    };
    const auto click = [&](int id) {
        call(menu, "Event", {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
    };

    const QHash<QString, int> before = layout();  // no AboutToShow yet
    EXPECT_TRUE(before.contains("Quit") && before.contains("60 fps")) << "the whole menu";
    call(menu, "AboutToShow", {0});
    flow_->toggle();
    call(menu, "AboutToShow", {0});
    click(before.value("Show Cursor"));
    EXPECT_TRUE(waitUntil([&] { return !store_.boolean(Preferences::kShowsCursor); }));
    click(before.value("Start Recording"));  // by now "Cancel Selection"
    EXPECT_TRUE(waitUntil([&] { return flow_->phase() == Phase::idle; }));

    SignalCounter icons(host, watcher.item(), "/StatusNotifierItem", "NewIcon");
    SignalCounter toolTips(host, watcher.item(), "/StatusNotifierItem", "NewToolTip");
    SignalCounter menuChanges(host, watcher.item(), menu, "ItemsPropertiesUpdated");
    record();
    layout();
    const int toolTipsThen = toolTips.received, menuChangesThen = menuChanges.received;
    EXPECT_TRUE(
        waitUntil([&] { return !layout().isEmpty() && toolTips.received >= toolTipsThen + 3; }));
    EXPECT_EQ(icons.received, 1) << "the red disc, once";
    EXPECT_EQ(menuChanges.received, menuChangesThen);
    flow_->toggle();  // the saved file joins the recents
    finish();
    const QString saved = Preferences::recents(store_).value(0);
    click(layout().value(QFileInfo(saved).fileName(), -1));
    EXPECT_EQ(files.revealed, std::vector<QString>{saved}) << "chosen from the recents";
    tray.reset();
    TearDown();
    thread.quit();
    thread.wait();
}

}  // namespace
}  // namespace vantorel::testing

#include "sni_tray_test.moc"
