#include <gtest/gtest.h>

#include "event_loop.h"
#include "fake_presenter.h"
#include "feedback/alert_notifier.h"
#include "feedback/alerts.h"

namespace vantorel {
namespace {

using testing::FakeFileBrowser;
using testing::FakePresenter;

TEST(Alerts, ErrorWithoutDetailsHasOnlyOk) {
    FakePresenter presenter;
    Alerts::error(presenter, "No display found", "There is no screen to record.", std::nullopt);
    ASSERT_EQ(presenter.alerts.size(), 1u);
    const AlertRequest& alert = presenter.alerts[0];
    EXPECT_EQ(alert.style, AlertStyle::warning);
    EXPECT_EQ(alert.title, "No display found");
    EXPECT_EQ(alert.message, "There is no screen to record.");
    EXPECT_EQ(alert.buttons, QStringList({"OK"}));
    EXPECT_EQ(presenter.activations, 1);
}

TEST(Alerts, ShowDetailsOpensTheViewerWithTheText) {
    FakePresenter presenter;
    presenter.answers = {1, 0};
    Alerts::error(presenter, "T", "M", QString("line one\nline two"));
    ASSERT_EQ(presenter.alerts.size(), 2u);
    EXPECT_EQ(presenter.alerts[0].buttons, QStringList({"OK", "Show Details"}));
    const AlertRequest& viewer = presenter.alerts[1];
    EXPECT_EQ(viewer.title, "Details");
    EXPECT_EQ(viewer.message, "This is the technical message behind the problem.");
    EXPECT_EQ(viewer.buttons, QStringList({"OK"}));
    ASSERT_TRUE(viewer.details);
    EXPECT_EQ(viewer.details->text, "line one\nline two");
    EXPECT_EQ(viewer.details->width, 440);
    EXPECT_EQ(viewer.details->height, 160);
}

TEST(Alerts, OkOrEmptyDetails) {
    FakePresenter presenter;
    Alerts::error(presenter, "T", "M", QString("details"));  // OK: the viewer never opens
    EXPECT_EQ(presenter.alerts.size(), 1u);
    presenter.answers = {1};
    Alerts::error(presenter, "T", "M", QString());  // empty details still offer the viewer
    ASSERT_EQ(presenter.alerts.size(), 3u);
    EXPECT_EQ(presenter.alerts[2].details->text, "");
}

// A Linux desktop has no settings page to send the user to: the prompt only explains.
TEST(Alerts, ThePermissionPromptOffersNoSettingsToOpen) {
    FakePresenter presenter;
    EXPECT_FALSE(Alerts::permissionNeeded(presenter));
    ASSERT_EQ(presenter.alerts.size(), 1u);
    EXPECT_EQ(presenter.alerts[0].buttons, QStringList{"OK"});
}

TEST(Alerts, SavedRevealsOnlyOnItsFirstButton) {
    FakePresenter presenter;
    FakeFileBrowser browser;
    presenter.answers = {1, 0};
    Alerts::saved(presenter, browser, "/v/Screen Recording 1.mp4");
    EXPECT_TRUE(browser.revealed.empty());
    Alerts::saved(presenter, browser, "/v/Screen Recording 1.mp4");
    EXPECT_EQ(browser.revealed, std::vector<QString>{"/v/Screen Recording 1.mp4"});
    EXPECT_EQ(presenter.alerts[0].title, "Saved");
    EXPECT_EQ(presenter.alerts[0].message, "Screen Recording 1.mp4");
    EXPECT_EQ(presenter.alerts[0].buttons, QStringList({"Show in Folder", "OK"}));
}

TEST(AlertNotifier, AnnouncesEachSaveOnceLaterOnTheMainThread) {
    FakePresenter presenter;
    FakeFileBrowser browser;
    AlertNotifier notifier(presenter, browser);
    notifier.notifySaved("/v/a.mp4");
    notifier.notifySaved("/v/b.mp4");
    EXPECT_TRUE(presenter.alerts.empty()) << "never from inside the caller's step";
    testing::drainMainThread();
    ASSERT_EQ(presenter.alerts.size(), 2u);
    EXPECT_EQ(presenter.alerts[1].message, "b.mp4");
}

}  // namespace
}  // namespace vantorel
