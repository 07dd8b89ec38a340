#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMenu>
#include <QPainter>
#include <QTimer>

#include <csignal>

#include "app/application.h"
#include "app/key_names.h"
#include "app/menu_entries.h"
#include "app/tray_icons.h"
#include "fake_logind.h"
#include "feedback/alerts.h"
#include "flow_fixture.h"
#include "platform/dbus/freedesktop_notifier.h"
#include "private_bus.h"
#include "selection/size_presets.h"

// The whole application on stand-ins, its tray item on the session's tray host, and a
// notification server and a logind of the test's own on private buses.
namespace vantorel::testing {
namespace {

class ApplicationTest : public FlowTest {
  protected:
    void launch(Notifier* notifier = nullptr) {
        app_.reset();  // one at a time: it owns the quit signals
        AppServices parts{services(),
                          &files_,
                          systemBus_.connect("app"),
                          [this] { return trayShown_; },
                          20ms,
                          [this] { terminated(); }};
        parts.recording.notifier = notifier != nullptr ? notifier : &notifier_;
        if (recover_) {
            parts.recoverRecordings = recover_;
        }
        app_ = std::make_unique<Application>(std::move(parts));
        flow_ = &app_->flow();
    }
    void TearDown() override {
        app_.reset();
        FlowTest::TearDown();
    }
    // Timers of one length fire in the order they were set: this one after the tray check.
    void awaitTrayCheck() {
        bool checked = false;
        QTimer::singleShot(20ms, [&] { checked = true; });
        ASSERT_TRUE(waitUntil([&] { return checked; }));
    }

    PrivateBus sessionBus_, systemBus_;
    FakeFileBrowser files_;
    bool trayShown_ = true;
    std::function<void()> terminated = [] {};
    StartupRecovery::Recover recover_;
    std::unique_ptr<Application> app_;
};

TEST_F(ApplicationTest, WithoutATrayTheUserIsToldOnceHowToRecord) {
    for (const bool shown : {true, false}) {
        trayShown_ = shown;
        notifier_.notices.clear();
        launch();
        awaitTrayCheck();
        EXPECT_EQ(notifier_.notices.isEmpty(), shown);
    }
}

// A quit (here a logout's SIGTERM) while recording saves the file and ends the program only
// once the saved file was announced, here by the alert that stands in for a notification.
TEST_F(ApplicationTest, AQuitWhileRecordingEndsOnceTheSavedFileIsAnnounced) {
    FreedesktopNotifier notifier(sessionBus_.connect("app"), presenter_, files_, 500ms);
    size_t announcedAtEnd = 0;
    terminated = [&] { announcedAtEnd = presenter_.alerts.size(); };
    launch(&notifier);
    record();
    ASSERT_EQ(::raise(SIGTERM), 0);  // the process lives on: the watcher takes it
    ASSERT_TRUE(waitUntil([&] { return announcedAtEnd > 0; }));
    drainMainThread();
    EXPECT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].title, "Saved");
    app_.reset();
}

// Recordings a crash cut off are looked for in the save folder at the start, each finished one
// announced and listed among the recent recordings, and those left unfinished named in one alert.
TEST_F(ApplicationTest, RecoveredRecordingsAreAnnouncedOnceAndListedAmongTheRecents) {
    const QString recovered = folder() + "/cut.mp4", lost = folder() + "/broken.mp4";
    ASSERT_TRUE(QDir().mkpath(folder()) && QFile(recovered).open(QIODevice::WriteOnly));
    std::filesystem::path lookedIn;
    recover_ = [&](const std::filesystem::path& where, auto) {
        lookedIn = where;
        return mp4::RecoveryReport{{recovered.toStdString()},
                                   {{lost.toStdString(), "no whole fragment"}}};
    };
    launch();
    ASSERT_TRUE(waitUntil([&] { return !presenter_.alerts.empty(); }));
    EXPECT_EQ(lookedIn, folder().toStdString());
    EXPECT_EQ(notifier_.recovered, std::vector{recovered});
    EXPECT_EQ(Preferences::recents(store_), QStringList{recovered});
    const QList<QAction*> items = app_->tray().menu()->actions();
    const auto recentMenu = std::find_if(items.begin(), items.end(), [](QAction* item) {
        return item->text() == "Recent Recordings";
    });
    ASSERT_NE(recentMenu, items.end());
    EXPECT_EQ((*recentMenu)->menu()->actions().first()->text(), "cut.mp4");
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_TRUE(presenter_.alerts[0].buttons.contains("Show Details"));
    drainMainThread();
    EXPECT_EQ(notifier_.recovered.size(), 1u);
}

// Sleep waits for the file: logind's inhibitor is held while recording and let go once saved.
TEST_F(ApplicationTest, SleepStopsAndSavesTheRecordingAndOnlyLogindIsBelieved) {
    FakeLogind logind(systemBus_.connect("logind"));
    launch();
    record();
    ASSERT_TRUE(waitUntil([&] { return logind.handedOut() == 1; }));
    QDBusConnection impostor = systemBus_.connect("impostor");
    impostor.send(QDBusMessage::createSignal("/org/freedesktop/login1",
                                             "org.freedesktop.login1.Manager", "PrepareForSleep")
                  << true);
    // A round trip through the bus: the impostor's signal has been routed by now.
    ASSERT_TRUE(impostor.interface()->isServiceRegistered("org.freedesktop.login1").value());
    drainMainThread();
    EXPECT_EQ(flow_->phase(), Phase::recording);
    emit logind.PrepareForSleep(true);
    finish();
    ASSERT_TRUE(waitUntil([&] { return logind.released() == 1; }));
    EXPECT_EQ(notifier_.saved.size(), 1u);
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].message, FailureAlerts::stopped(StopReason::sleep, {})->message);
}

// What a user reads is in the words of a Linux desktop: none of the platform the program was
// first written for, nor the error bookkeeping of its frameworks.
TEST_F(ApplicationTest, UserFacingTextsUseLinuxWords) {
    QStringList texts;
    const std::function<void(const std::vector<MenuEntry>&)> collect = [&](const auto& entries) {
        for (const MenuEntry& entry : entries) {
            texts << entry.title << entry.toolTip;
            collect(entry.submenu);
        }
    };
    collect(buildTrayMenu(Phase::idle, store_));
    for (const auto kind :
         {Error::Kind::permissionDeclined, Error::Kind::otherMonitorShared,
          Error::Kind::cannotWrite, Error::Kind::noDisplay, Error::Kind::failed}) {
        texts << FailureAlerts::startFailed({kind, {}, {}}, folder()).message;
    }
    for (const auto reason : {StopReason::user, StopReason::sleep, StopReason::lowSpace}) {
        texts << FailureAlerts::notSaved(reason, {}, {}).message;
    }
    for (const SizePreset& preset : SizePresets::all()) {
        texts << SizePresets::tooltipText(preset, 2.0);
    }
    Alerts::fileNews(presenter_, files_, FileNews::recovered, folder() + "/a.mp4");
    Alerts::showDetails(presenter_, "No space left on device");
    for (const AlertRequest& alert : presenter_.alerts) {
        texts << alert.title << alert.message << alert.buttons;
    }
    trayShown_ = room_ = false;
    LinuxKeyNames keyNames;
    QCoreApplication::installTranslator(&keyNames);
    launch();
    texts << app_->tray().menu()->actions().first()->shortcut().toString(QKeySequence::NativeText);
    EXPECT_EQ(texts.last(), "Super+Shift+R");
    awaitTrayCheck();
    record();
    EXPECT_EQ(app_->tray().toolTip().count('\n'), 1) << "how to stop without a stop button";
    texts << app_->tray().toolTip() << notifier_.notices;
    for (const char* word : {"Finder", "Mac", "Retina", "System Settings", "Privacy",
                             "Error Domain", "Meta", "points", "Movies", "Command"}) {
        EXPECT_FALSE(texts.join(' ').contains(word)) << word;
    }
}

// The palette may say light while the panel is dark, or the other way round: the idle symbol must
// stand out on either, at the size a panel shows it.
TEST(TraySymbol, TheIdleSymbolStandsOutOnLightAndDarkPanels) {
    for (const QColor text : {QColor(Qt::black), QColor(Qt::white)}) {
        for (const QColor panel : {QColor(0x20, 0x20, 0x20), QColor(0xf0, 0xf0, 0xf0)}) {
            QImage shown(22, 22, QImage::Format_RGB32);
            shown.fill(panel);
            QPainter(&shown).drawPixmap(0, 0, drawTraySymbol(TraySymbol::ring, text).pixmap(22));
            int standingOut = 0;
            for (int i = 0; i < 22 * 22; ++i) {
                standingOut +=
                    std::abs(qGray(shown.pixel(i % 22, i / 22)) - qGray(panel.rgb())) > 100;
            }
            EXPECT_GT(standingOut, 60)
                << text.name().toStdString() << " on " << panel.name().toStdString();
        }
    }
}

}  // namespace
}  // namespace vantorel::testing
