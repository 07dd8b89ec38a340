#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QUrl>

#include <memory>
#include <ostream>

#include "event_loop.h"
#include "fake_file_manager.h"
#include "fake_notification_server.h"
#include "fake_presenter.h"
#include "feedback/freedesktop_notifier.h"
#include "flow_fixture.h"
#include "platform/file_browser.h"
#include "private_bus.h"

// The notifier against a notification server of the test's own on a private bus.
namespace vantorel::testing {
namespace {

const QString kFile = "/home/user/Videos/Brisolet/Screen Recording 2025-01-31 at 09.05.07.mp4";
const QString kOtherFile = "/home/user/Videos/Brisolet/Screen Recording 2025-01-31 at 09.06.00.mp4";

class NotifierTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(bus_.running()); }

    // Starts a server; tests without one see the machine's absence of it.
    FakeNotificationServer& startServer(QStringList capabilities = {"actions", "body"}) {
        server_ = std::make_unique<FakeNotificationServer>(bus_.connect("server"),
                                                           std::move(capabilities));
        EXPECT_TRUE(server_->registered());
        return *server_;
    }
    FreedesktopNotifier& notifier(FileBrowser& files) {
        notifier_ =
            std::make_unique<FreedesktopNotifier>(bus_.connect("client"), presenter_, files);
        notifier_->setup();
        return *notifier_;
    }
    FreedesktopNotifier& notifier() { return notifier(files_); }

    // Posts one save and waits until the server has shown it; its id.
    uint notifyAndWait(const QString& path) {
        const size_t before = server_->received.size();
        notifier_->notifySaved(path);
        const bool shown = waitUntil([&] {
            return server_->received.size() > before &&
                   notifier_->openNotifications().count(server_->received.back().id) == 1;
        });
        EXPECT_TRUE(shown);
        return shown ? server_->received.back().id : 0;
    }

    PrivateBus bus_;
    FakePresenter presenter_;
    FakeFileBrowser files_;
    std::unique_ptr<FakeNotificationServer> server_;
    std::unique_ptr<FreedesktopNotifier> notifier_;
};

TEST_F(NotifierTest, ASaveIsAnnouncedAsSavedWithTheFileNameAndTheRevealAction) {
    // The program declares its desktop entry at start; the notification names the same one.
    const QString before = QGuiApplication::desktopFileName();
    QGuiApplication::setDesktopFileName("org.vantorel.Vantorel");
    const auto restore = qScopeGuard([&] { QGuiApplication::setDesktopFileName(before); });
    startServer();
    notifier();
    notifyAndWait(kFile);

    ASSERT_EQ(server_->received.size(), 1u);
    const ReceivedNotification& shown = server_->received[0];
    EXPECT_EQ(shown.appName, "Vantorel");
    EXPECT_EQ(shown.replacesId, 0u);
    EXPECT_EQ(shown.summary, "Saved");
    EXPECT_EQ(shown.body, "Screen Recording 2025-01-31 at 09.05.07.mp4");
    EXPECT_EQ(shown.actions,
              (QStringList{"default", "Show in Folder", "reveal", "Show in Folder"}));
    EXPECT_EQ(shown.hints.value("desktop-entry").toString(), "org.vantorel.Vantorel");
    EXPECT_EQ(server_->capabilityRequests, 1);
    drainMainThread();
    EXPECT_TRUE(presenter_.alerts.empty()) << "announced once, by the notification alone";
    EXPECT_TRUE(files_.revealed.empty());
}

struct ActionCase {
    const char* key;
    bool reveals;
};
void PrintTo(const ActionCase& c, std::ostream* out) {
    *out << (*c.key != 0 ? c.key : "empty");
}

class NotifierActionTest : public NotifierTest, public ::testing::WithParamInterface<ActionCase> {};

TEST_P(NotifierActionTest, ClickingTheNotificationOrRevealShowsTheFile) {
    startServer();
    notifier();
    const uint id = notifyAndWait(kFile);
    server_->invokeAction(id, GetParam().key);
    // A later reveal of a second notification marks the point by which the first was handled.
    const uint later = notifyAndWait(kOtherFile);
    server_->invokeAction(later, "reveal");
    ASSERT_TRUE(waitUntil(
        [&] { return !files_.revealed.empty() && files_.revealed.back() == kOtherFile; }));
    drainMainThread();
    const std::vector<QString> expected = GetParam().reveals
                                              ? std::vector<QString>{kFile, kOtherFile}
                                              : std::vector<QString>{kOtherFile};
    EXPECT_EQ(files_.revealed, expected);
}

INSTANTIATE_TEST_SUITE_P(Actions, NotifierActionTest,
                         ::testing::Values(ActionCase{"default", true}, ActionCase{"reveal", true},
                                           ActionCase{"open", false}, ActionCase{"", false}));

TEST_F(NotifierTest, TwoSavesGetTwoNotificationsEachRevealingItsOwnFile) {
    startServer();
    notifier();
    const uint first = notifyAndWait(kFile);
    const uint second = notifyAndWait(kOtherFile);
    EXPECT_NE(first, second);
    ASSERT_EQ(server_->received.size(), 2u);
    EXPECT_EQ(server_->received[1].replacesId, 0u) << "the second must not replace the first";

    server_->invokeAction(second, "reveal");
    server_->invokeAction(first, "default");
    ASSERT_TRUE(waitUntil([&] { return files_.revealed.size() == 2; }));
    EXPECT_EQ(files_.revealed, (std::vector<QString>{kOtherFile, kFile}));
}

TEST_F(NotifierTest, AClosedNotificationIsForgotten) {
    startServer();
    notifier();
    const uint id = notifyAndWait(kFile);
    server_->close(id, 2);
    server_->invokeAction(id, "reveal");  // a server that is out of step
    const uint later = notifyAndWait(kOtherFile);
    server_->invokeAction(later, "reveal");
    ASSERT_TRUE(waitUntil([&] { return !files_.revealed.empty(); }));
    drainMainThread();
    EXPECT_EQ(files_.revealed, std::vector<QString>{kOtherFile});
    EXPECT_EQ(notifier_->openNotifications().count(id), 0u);
}

TEST_F(NotifierTest, ActionsOnOtherProgramsNotificationsAreIgnored) {
    startServer();
    notifier();
    const uint id = notifyAndWait(kFile);
    server_->invokeAction(id + 100, "reveal");
    server_->invokeAction(id, "reveal");
    ASSERT_TRUE(waitUntil([&] { return !files_.revealed.empty(); }));
    drainMainThread();
    EXPECT_EQ(files_.revealed, std::vector<QString>{kFile});
}

struct BodyCase {
    const char* name;
    const char* path;
    bool markup;
    const char* body;
};
void PrintTo(const BodyCase& c, std::ostream* out) {
    *out << c.name;
}

class NotifierBodyTest : public NotifierTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(NotifierBodyTest, TheBodyIsEscapedOnlyForServersThatReadMarkup) {
    startServer(GetParam().markup ? QStringList{"actions", "body", "body-markup"}
                                  : QStringList{"actions", "body"});
    notifier();
    notifyAndWait(GetParam().path);
    ASSERT_EQ(server_->received.size(), 1u);
    EXPECT_EQ(server_->received[0].body, GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, NotifierBodyTest,
    ::testing::Values(
        BodyCase{"plainNameUnderMarkup", "/v/Screen Recording 1.mp4", true,
                 "Screen Recording 1.mp4"},
        BodyCase{"specialsAsText", "/v/a&b <c>.mp4", false, "a&b <c>.mp4"},
        BodyCase{"specialsUnderMarkup", "/v/a&b <c>.mp4", true, "a&amp;b &lt;c&gt;.mp4"},
        BodyCase{"entityUnderMarkup", "/v/&amp;.mp4", true, "&amp;amp;.mp4"},
        BodyCase{"onlyTheNameQuotesKept", "/v/x<y/name \"q\".mp4", true, "name \"q\".mp4"}));

TEST_F(NotifierTest, WithoutAServerTheSavedAlertStandsInOnce) {
    notifier();
    notifier_->notifySaved(kFile);
    ASSERT_TRUE(waitUntil([&] { return !presenter_.alerts.empty(); }));
    drainMainThread();
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].title, "Saved");
    EXPECT_EQ(presenter_.alerts[0].message, "Screen Recording 2025-01-31 at 09.05.07.mp4");
    EXPECT_EQ(files_.revealed, std::vector<QString>{kFile}) << "the alert's default button reveals";
}

TEST_F(NotifierTest, ARefusedNotificationFallsBackToTheAlertOnce) {
    startServer().refuseNotify = true;
    notifier();
    notifier_->notifySaved(kFile);
    ASSERT_TRUE(waitUntil([&] { return !presenter_.alerts.empty(); }));
    drainMainThread();
    EXPECT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_TRUE(notifier_->openNotifications().empty());
}

TEST_F(NotifierTest, AServerThatNeverAnswersFallsBackToTheAlertOnce) {
    startServer().silent = true;
    notifier();
    notifier_->notifySaved(kFile);
    ASSERT_TRUE(waitUntil([&] { return !presenter_.alerts.empty(); }, 30000));
    drainMainThread();
    EXPECT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_TRUE(notifier_->openNotifications().empty());
}

TEST_F(NotifierTest, WithoutASessionBusTheSavedAlertStandsIn) {
    FreedesktopNotifier offline(
        QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "vantorel-no-bus"), presenter_,
        files_);
    offline.setup();
    offline.notifySaved(kFile);
    EXPECT_TRUE(presenter_.alerts.empty()) << "shown later, not inside the caller's step";
    ASSERT_TRUE(waitUntil([&] { return !presenter_.alerts.empty(); }));
    drainMainThread();
    EXPECT_EQ(presenter_.alerts.size(), 1u);
    QDBusConnection::disconnectFromBus("vantorel-no-bus");
}

// Quitting (the menu, a logout's SIGTERM) while recording saves the file and then ends the
// program: it must not end before the saved file was announced.
class QuitWhileRecordingTest : public FlowTest {
  protected:
    void SetUp() override {
        FlowTest::SetUp();
        ASSERT_TRUE(bus_.running());
        AppServices withRealNotifier = services();
        notifier_ =
            std::make_unique<FreedesktopNotifier>(bus_.connect("client"), presenter_, fileBrowser_);
        withRealNotifier.notifier = notifier_.get();
        delegate_ = std::make_unique<AppDelegate>(std::move(withRealNotifier));
        delegate_->applicationDidFinishLaunching();
    }
    void TearDown() override {
        FlowTest::TearDown();
        notifier_.reset();
    }

    PrivateBus bus_;
    std::unique_ptr<FreedesktopNotifier> notifier_;
};

TEST_F(QuitWhileRecordingTest, TheProgramEndsOnlyOnceTheSaveIsAnnounced) {
    for (const bool serverRuns : {true, false}) {
        SCOPED_TRACE(serverRuns ? "a notification server" : "no server: the alert");
        std::unique_ptr<FakeNotificationServer> server;
        if (serverRuns) {
            server = std::make_unique<FakeNotificationServer>(bus_.connect("server"),
                                                              QStringList{"actions", "body"});
            ASSERT_TRUE(server->registered());
        }
        terminations_ = 0;
        presenter_.alerts.clear();
        keepSavedFile();
        toRecording();
        delegate_->requestQuit();
        ASSERT_TRUE(waitUntil([&] { return terminations_ > 0; }));
        if (serverRuns) {
            EXPECT_EQ(server->received.size(), 1u);
        } else {
            EXPECT_EQ(alertTitles(), std::vector<QString>{"Saved"});
        }
        EXPECT_EQ(terminations_, 1);
    }
}

TEST_F(NotifierTest, EachSaveIsAnnouncedOnceWhenTheServerComesAndGoes) {
    notifier();
    notifier_->notifySaved(kFile);  // no server yet: alert
    ASSERT_TRUE(waitUntil([&] { return presenter_.alerts.size() == 1; }));
    startServer();
    const uint id = notifyAndWait(kOtherFile);  // now a notification
    server_->invokeAction(id, "reveal");        // from a server that came after setup
    ASSERT_TRUE(waitUntil([&] { return files_.revealed.size() == 2; }));
    EXPECT_EQ(files_.revealed.back(), kOtherFile);
    server_.reset();
    notifier_->notifySaved(kFile);  // gone again: alert
    ASSERT_TRUE(waitUntil([&] { return presenter_.alerts.size() == 2; }));
    drainMainThread();
    EXPECT_EQ(presenter_.alerts.size(), 2u);
}

// The whole road of a click: notification server, notifier, and the real file browser calling
// a file manager on the session bus.
TEST_F(NotifierTest, RevealReachesTheFileManagerThroughTheRealFileBrowser) {
    QDBusConnection session =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "vantorel-fake-file-manager");
    ASSERT_TRUE(session.isConnected()) << "run inside scripts/headless-session.sh";
    {
        FakeFileManager fileManager(session);
        ASSERT_TRUE(fileManager.registered());
        FreedesktopFileBrowser realBrowser;
        startServer();
        notifier(realBrowser);
        const uint id = notifyAndWait(kFile);
        server_->invokeAction(id, "reveal");
        ASSERT_TRUE(waitUntil([&] { return !fileManager.shownItems.empty(); }));
        ASSERT_EQ(fileManager.shownItems[0].size(), 1);
        EXPECT_EQ(QUrl(fileManager.shownItems[0][0]).toLocalFile(), kFile);
        EXPECT_TRUE(fileManager.shownFolders.empty());
    }
    QDBusConnection::disconnectFromBus("vantorel-fake-file-manager");
}

}  // namespace
}  // namespace vantorel::testing
