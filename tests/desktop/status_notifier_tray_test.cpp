#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QHash>
#include <QMutex>
#include <QThread>

#include "app/tray_status_item.h"
#include "flow_fixture.h"
#include "private_bus.h"

// The tray item on a StatusNotifierItem desktop (Plasma, waybar, GNOME's extension), seen from
// the host's side of the bus: the menu as the host fetches it over com.canonical.dbusmenu,
// clicks sent back by item id, and what the item sends while a recording runs.
namespace vantorel::testing {

// The desktop's org.kde.StatusNotifierWatcher, with a host registered.
class FakeWatcher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

  public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // Each as "bus name/object path", oldest first.
    QStringList items() const {
        const QMutexLocker lock(&mutex_);
        return items_;
    }

  public Q_SLOTS:
    // A bus name stands for its /StatusNotifierItem object; a path is on the caller's name.
    void RegisterStatusNotifierItem(const QString& serviceOrPath) {
        const QString item = serviceOrPath.startsWith('/') ? message().service() + serviceOrPath
                                                           : serviceOrPath + "/StatusNotifierItem";
        const QMutexLocker lock(&mutex_);
        items_.append(item);
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString&) { emit StatusNotifierHostRegistered(); }

  Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

  private:
    mutable QMutex mutex_;
    QStringList items_;
};

// Counts one signal of the item or its menu, as a host listening for it would.
class SignalCounter final : public QObject {
    Q_OBJECT

  public:
    SignalCounter(QDBusConnection bus, const QString& service, const QString& path,
                  const QString& interface, const QString& name) {
        EXPECT_TRUE(bus.connect(service, path, interface, name, this, SLOT(count())));
    }
    int received = 0;

  public Q_SLOTS:
    void count() { ++received; }
};

namespace {

// A fetched menu: titles in order, "-" for a separator and a submenu's titles in brackets, and
// the id of each title.
struct Layout {
    QString outline;
    QHash<QString, int> ids;
};

// Reads an item's children: an array of variants, each holding an item (ia{sv}av).
QString readChildren(const QDBusArgument& children, Layout& layout) {
    QStringList titles;
    children.beginArray();
    while (!children.atEnd()) {
        QDBusVariant child;
        children >> child;
        const QDBusArgument item = child.variant().value<QDBusArgument>();
        int id = 0;
        QVariantMap properties;
        item.beginStructure();
        item >> id >> properties;
        const QString title =
            properties.value("type") == "separator" ? "-" : properties.value("label").toString();
        layout.ids.insert(title, id);
        const QString inner = readChildren(item, layout);
        item.endStructure();
        titles.append(inner.isEmpty() ? title : title + "[" + inner + "]");
    }
    children.endArray();
    return titles.join('|');
}

QString outline(const std::vector<MenuEntry>& entries) {
    QStringList titles;
    for (const MenuEntry& entry : entries) {
        const QString title = entry.separator ? "-" : entry.title;
        titles.append(entry.submenu.empty() ? title : title + "[" + outline(entry.submenu) + "]");
    }
    return titles.join('|');
}

class StatusNotifierTrayTest : public FlowTest {
  protected:
    // Qt settles on StatusNotifierItem or XEmbed once per process, asking the session bus; so
    // the bus with the watcher becomes the session bus before anything connects to one, and
    // stays until the application goes. Qt asks the watcher with blocking calls from the main
    // thread, so the watcher answers from a thread of its own.
    static void SetUpTestSuite() {
        if (bus_ != nullptr) {
            return;
        }
        bus_ = new PrivateBus;
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_->address().toUtf8());
        watcherThread_ = new QThread;
        watcher_ = new FakeWatcher;
        watcher_->moveToThread(watcherThread_);
        watcherThread_->start();
        QMetaObject::invokeMethod(
            watcher_,
            [connection = bus_->connect("watcher")]() mutable {
                watcherRegistered_ =
                    connection.registerObject("/StatusNotifierWatcher", watcher_,
                                              QDBusConnection::ExportAllContents) &&
                    connection.registerService("org.kde.StatusNotifierWatcher");
            },
            Qt::BlockingQueuedConnection);
        qAddPostRoutine([] {
            QMetaObject::invokeMethod(
                watcher_, [] { delete watcher_; }, Qt::BlockingQueuedConnection);
            watcherThread_->quit();
            watcherThread_->wait();
            delete watcherThread_;
            delete bus_;
        });
    }

    void SetUp() override {
        ASSERT_TRUE(watcherRegistered_);
        FlowTest::SetUp();
        const qsizetype known = watcher_->items().size();
        AppServices withTray = services();
        withTray.makeStatusItem = [](QMenu* menu) {
            return std::make_unique<TrayStatusItem>(menu);
        };
        delegate_ = std::make_unique<AppDelegate>(std::move(withTray));
        delegate_->applicationDidFinishLaunching();
        ASSERT_TRUE(waitUntil([&] { return watcher_->items().size() > known; }));
        const QString item = watcher_->items().last();
        service_ = item.section('/', 0, 0);
        itemPath_ = "/" + item.section('/', 1);
        const QDBusMessage menu = call(itemPath_, "org.freedesktop.DBus.Properties", "Get",
                                       {"org.kde.StatusNotifierItem", "Menu"});
        const QVariant path = menu.arguments().value(0).value<QDBusVariant>().variant();
        menuPath_ = path.value<QDBusObjectPath>().path();
        ASSERT_FALSE(menuPath_.isEmpty()) << menu.errorMessage().toStdString();
    }

    // Asks without blocking: the item answers from this thread.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(service_, path, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = host_.asyncCall(message);
        EXPECT_TRUE(waitUntil([&] { return pending.isFinished(); }));
        drainMainThread();  // the item's signals sent before the answer are in
        return pending.reply();
    }
    QDBusMessage menuCall(const QString& method, const QVariantList& arguments) {
        return call(menuPath_, "com.canonical.dbusmenu", method, arguments);
    }
    Layout layout() {
        const QDBusMessage reply = menuCall("GetLayout", {0, -1, QStringList()});
        const QDBusArgument root = reply.arguments().value(1).value<QDBusArgument>();
        Layout layout;
        int id = 0;
        QVariantMap properties;
        root.beginStructure();
        root >> id >> properties;
        layout.outline = readChildren(root, layout);
        root.endStructure();
        return layout;
    }
    void click(int id) {
        menuCall("Event", {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
    }

    static inline PrivateBus* bus_ = nullptr;
    static inline QThread* watcherThread_ = nullptr;
    static inline FakeWatcher* watcher_ = nullptr;
    static inline bool watcherRegistered_ = false;
    QDBusConnection host_ = bus_->connect("host");
    QString service_;
    QString itemPath_;
    QString menuPath_;
};

TEST_F(StatusNotifierTrayTest, TheWholeMenuIsExportedBeforeTheHostAnnouncesAnOpening) {
    EXPECT_EQ(layout().outline.toStdString(),
              outline(buildStatusMenu(Phase::idle, store_)).toStdString());
}

TEST_F(StatusNotifierTrayTest, AClickByAnIdFetchedBeforeARefreshStillActs) {
    menuCall("AboutToShow", {0});
    const Layout before = layout();
    const int showCursor = before.ids.value("Show Cursor");
    const int toggle = before.ids.value("Start Recording");
    ASSERT_NE(showCursor, 0);
    ASSERT_NE(toggle, 0);
    menuCall("AboutToShow", {0});
    toSelecting();
    ASSERT_TRUE(store_.boolean(Preferences::kShowsCursor));

    click(showCursor);
    EXPECT_TRUE(waitUntil([&] { return !store_.boolean(Preferences::kShowsCursor); }, 3000));
    click(toggle);  // now "Cancel Selection"
    EXPECT_TRUE(waitUntil([&] { return delegate_->phase() == Phase::idle; }, 3000));
}

TEST_F(StatusNotifierTrayTest, TicksChangeTheTooltipAloneAndTheIconIsSentOnlyWhenItChanges) {
    const QString item = "org.kde.StatusNotifierItem";
    SignalCounter icons(host_, service_, itemPath_, item, "NewIcon");
    SignalCounter toolTips(host_, service_, itemPath_, item, "NewToolTip");
    SignalCounter menuChanges(host_, service_, menuPath_, "com.canonical.dbusmenu",
                              "ItemsPropertiesUpdated");
    toRecording();
    layout();  // a round trip: every signal sent so far has arrived
    EXPECT_EQ(icons.received, 1) << "the red disc";
    const int toolTipsWhileRecording = toolTips.received;
    const int menuChangesWhileRecording = menuChanges.received;

    scheduler_.advance(3s);
    layout();
    EXPECT_EQ(toolTips.received, toolTipsWhileRecording + 3);
    EXPECT_EQ(icons.received, 1);
    EXPECT_EQ(menuChanges.received, menuChangesWhileRecording);
}

}  // namespace
}  // namespace vantorel::testing

#include "status_notifier_tray_test.moc"
