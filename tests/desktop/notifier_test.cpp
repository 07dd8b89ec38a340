#include <gtest/gtest.h>

#include <QFileInfo>

#include "event_loop.h"
#include "fake_notification_server.h"
#include "fake_presenter.h"
#include "gtest_qt_printing.h"
#include "platform/dbus/freedesktop_notifier.h"
#include "private_bus.h"

// The notifier against a notification server of the test's own on a private bus.
namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;
using Answer = FakeNotificationServer::Answer;

const QString kFile = "/home/user/Videos/Brisolet/Screen Recording 2025-01-31 at 09.05.07.mp4";
const QString kOther = "/home/user/Videos/Brisolet/Screen Recording 2025-01-31 at 09.06.00.mp4";

class NotifierTest : public ::testing::Test {
  protected:
    void start(std::optional<Answer> answer) {
        server_.reset();
        if (answer) {
            server_ = std::make_unique<FakeNotificationServer>(bus_.connect("server"));
            server_->answer = *answer;
        }
        notifier_ =
            std::make_unique<FreedesktopNotifier>(bus_.connect("app"), presenter_, files_, 300ms);
    }
    // Announces a save and waits until it has been; the notification's id.
    uint announce(const QString& path) {
        notifier_->notifyFile(FileNews::saved, path);
        EXPECT_TRUE(waitUntil([&] { return !notifier_->busy(); }));
        drainMainThread();
        return server_ && !server_->shown.empty() ? server_->shown.back().id : 0;
    }

    PrivateBus bus_;
    FakePresenter presenter_;
    FakeFileBrowser files_;
    std::unique_ptr<FakeNotificationServer> server_;
    std::unique_ptr<FreedesktopNotifier> notifier_;
};

TEST_F(NotifierTest, ASaveIsNotifiedOnceAndItsActionsShowTheFile) {
    start(Answer::shows);
    const uint id = announce(kFile);
    ASSERT_EQ(server_->shown.size(), 1u);
    EXPECT_EQ(server_->shown[0].body, QFileInfo(kFile).fileName());
    EXPECT_TRUE(server_->shown[0].actions.contains("reveal"));
    EXPECT_TRUE(presenter_.alerts.empty()) << "announced by the notification alone";
    // Other programs' notifications, other actions and closed notifications are not ours.
    for (const auto& [which, key] :
         {std::pair{id + 9, "reveal"}, {id, "open"}, {id, "default"}, {id, "reveal"}}) {
        emit server_->ActionInvoked(which, key);
    }
    emit server_->NotificationClosed(id, 2);
    emit server_->ActionInvoked(id, "reveal");
    const uint later = announce(kOther);
    emit server_->ActionInvoked(later, "reveal");  // signals from one sender arrive in order
    ASSERT_TRUE(waitUntil([&] { return files_.revealed.size() == 3; }));
    EXPECT_EQ(files_.revealed, (std::vector{kFile, kFile, kOther}));
}

TEST_F(NotifierTest, WhenNoServerShowsItTheSavedAlertStandsInOnce) {
    for (const auto answer : {std::optional<Answer>(), std::optional(Answer::refuses),
                              std::optional(Answer::keepsSilent)}) {
        presenter_.alerts.clear();
        start(answer);
        announce(kFile);
        ASSERT_EQ(presenter_.alerts.size(), 1u);
        EXPECT_EQ(presenter_.alerts[0].message, QFileInfo(kFile).fileName());
    }
}

}  // namespace
}  // namespace vantorel::testing
