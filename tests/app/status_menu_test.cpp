#include <QAction>
#include <QMenu>

#include "app/elapsed_time.h"
#include "app/key_names.h"
#include "app/tray_menu.h"
#include "feedback/alerts.h"
#include "flow_fixture.h"
#include "selection/size_presets.h"

namespace vantorel::testing {
namespace {

const QString kEllipsis = QStringLiteral("\u2026");

const MenuEntry& entryTitled(const std::vector<MenuEntry>& entries, const QString& title) {
    for (const MenuEntry& entry : entries) {
        if (entry.title == title) {
            return entry;
        }
    }
    static const MenuEntry none;
    ADD_FAILURE() << "no entry " << title.toStdString();
    return none;
}

TEST(ElapsedTime, Examples) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "00:00"},
        {61, "01:01"},
        {3599, "59:59"},
        {3600, "1:00:00"},
        {10 * 3600 + 2 * 60 + 5, "10:02:05"},
        {-4, "00:00"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(elapsedString(seconds), text) << seconds;
    }
    const QDateTime start(QDate(2025, 1, 1), QTime(10, 0, 0));
    EXPECT_EQ(elapsedSeconds(start, start.addMSecs(1999)), 1) << "truncated";
    EXPECT_EQ(elapsedSeconds(start, start.addSecs(-5)), 0) << "never negative";
    EXPECT_EQ(elapsedSeconds(std::nullopt, start), 0);
}

TEST_F(FlowTest, TheToggleItemFollowsThePhase) {
    struct Case {
        Phase phase;
        QString title;
        bool enabled;
    };
    const Case cases[] = {{Phase::idle, "Start Recording", true},
                          {Phase::selecting, "Cancel Selection", true},
                          {Phase::countdown, "Starting" + kEllipsis, false},
                          {Phase::recording, "Stop Recording", true},
                          {Phase::stopping, "Saving" + kEllipsis, false}};
    for (const Case& c : cases) {
        const MenuEntry first = buildStatusMenu(c.phase, store_).front();
        EXPECT_EQ(first.title, c.title);
        EXPECT_EQ(first.enabled(), c.enabled);
        EXPECT_EQ(first.shortcut, c.enabled ? "Meta+Shift+R" : "");
    }
}

TEST_F(FlowTest, TheMenuListsItsItemsInOrder) {
    const std::vector<MenuEntry> menu = buildStatusMenu(Phase::idle, store_);
    QStringList titles;
    for (const MenuEntry& entry : menu) {
        titles.append(entry.separator ? "-" : entry.title);
    }
    EXPECT_EQ(titles, QStringList({"Start Recording", "-", "Recent Recordings",
                                   "Open Recordings Folder", "-", "Settings", "-", "Quit"}));
    EXPECT_EQ(menu.back().shortcut, "Ctrl+Q");
    const MenuEntry& recents = entryTitled(menu, "Recent Recordings");
    ASSERT_EQ(recents.submenu.size(), 1u);
    EXPECT_EQ(recents.submenu[0].title, "No recordings yet");
    EXPECT_FALSE(recents.submenu[0].enabled());
    EXPECT_TRUE(recents.enabled());
}

TEST_F(FlowTest, SettingsShowTheStoredChoices) {
    store_.setInteger(Preferences::kFrameRate, 25);
    store_.setInteger(Preferences::kCountdownSeconds, 5);
    store_.setBoolean(Preferences::kRecordSystemSound, true);
    const MenuEntry settings = buildSettingsItem(store_);
    const MenuEntry& frameRate = entryTitled(settings.submenu, "Frame Rate");
    EXPECT_TRUE(entryTitled(frameRate.submenu, "30 fps").checked);
    EXPECT_FALSE(entryTitled(frameRate.submenu, "60 fps").checked);
    const MenuEntry& countdown = entryTitled(settings.submenu, "Countdown Before Recording");
    EXPECT_FALSE(entryTitled(countdown.submenu, "None").checked);
    EXPECT_TRUE(entryTitled(countdown.submenu, "3 seconds").checked);
    EXPECT_TRUE(entryTitled(settings.submenu, "Show Cursor").checked);
    EXPECT_TRUE(entryTitled(settings.submenu, "Record System Sound").checked);
    const MenuEntry& location =
        entryTitled(settings.submenu, "Save Location: Brisolet" + kEllipsis);
    EXPECT_EQ(location.toolTip, saveFolder());
    EXPECT_FALSE(entryTitled(settings.submenu, "Sizes are real pixels").enabled());
}

TEST_F(FlowTest, SettingsActionsStoreTheirValues) {
    const MenuEntry settings = buildSettingsItem(store_);
    delegate_->perform(entryTitled(entryTitled(settings.submenu, "Frame Rate").submenu, "60 fps"));
    EXPECT_EQ(store_.integer(Preferences::kFrameRate), 60);
    delegate_->perform(entryTitled(
        entryTitled(settings.submenu, "Countdown Before Recording").submenu, "3 seconds"));
    EXPECT_EQ(store_.integer(Preferences::kCountdownSeconds), 3);
    delegate_->perform(entryTitled(settings.submenu, "Show Cursor"));
    EXPECT_FALSE(store_.boolean(Preferences::kShowsCursor));
    delegate_->perform(entryTitled(settings.submenu, "Record System Sound"));
    EXPECT_TRUE(store_.boolean(Preferences::kRecordSystemSound));
}

TEST_F(FlowTest, ChoosingAFolderOpensInItsParentAndStoresThePath) {
    const MenuEntry settings = buildSettingsItem(store_);
    const MenuEntry& location =
        entryTitled(settings.submenu, "Save Location: Brisolet" + kEllipsis);
    delegate_->perform(location);  // cancelled: nothing changes
    EXPECT_EQ(Preferences::saveFolder(store_), saveFolder());
    presenter_.folderAnswer = dir_.filePath("Elsewhere");
    delegate_->perform(location);
    ASSERT_EQ(presenter_.chooserRequests.size(), 2u);
    EXPECT_EQ(presenter_.chooserRequests[0].startFolder, dir_.path());
    EXPECT_EQ(presenter_.chooserRequests[0].prompt, "Choose");
    EXPECT_EQ(Preferences::saveFolder(store_), dir_.filePath("Elsewhere"));
}

TEST_F(FlowTest, OpenFolderCreatesItFirst) {
    delegate_->perform(
        MenuEntry{.title = "Open Recordings Folder", .command = MenuCommand::openFolder});
    EXPECT_TRUE(QDir(saveFolder()).exists());
    EXPECT_EQ(fileBrowser_.opened, std::vector<QString>{saveFolder()});
}

// The menu with its submenus, depth first.
QList<QAction*> actionsOf(QMenu* menu) {
    QList<QAction*> all;
    for (QAction* action : menu->actions()) {
        all.append(action);
        if (action->menu() != nullptr) {
            all.append(actionsOf(action->menu()));
        }
    }
    return all;
}

QAction* actionTitled(QMenu* menu, const QString& title) {
    for (QAction* action : actionsOf(menu)) {
        if (action->text() == title) {
            return action;
        }
    }
    ADD_FAILURE() << "no action " << title.toStdString();
    return nullptr;
}

// Tray hosts know an item by an id that lives as long as its action, so the menu's actions are
// changed, never replaced; only the recent recordings may come and go.
TEST_F(FlowTest, TheRealMenuChangesItsActionsInPlace) {
    QMenu* menu = statusItem_->menu;
    const QList<QAction*> before = actionsOf(menu);
    QAction* toggle = actionTitled(menu, "Start Recording");
    QAction* noRecordings = actionTitled(menu, "No recordings yet");
    store_.setBoolean(Preferences::kShowsCursor, false);  // changed without the menu
    keepSavedFile();
    toRecording();
    EXPECT_EQ(actionsOf(menu), before);
    EXPECT_EQ(toggle->text(), "Stop Recording");
    EXPECT_FALSE(actionTitled(menu, "Show Cursor")->isChecked());

    QFile(savedFile()).open(QIODevice::WriteOnly);
    toggle->trigger();
    drainMainThread();
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    EXPECT_EQ(actionsOf(menu), before) << "the saved file takes the place of the note";
    EXPECT_EQ(noRecordings->text(), QFileInfo(savedFile()).fileName());
    noRecordings->trigger();
    EXPECT_EQ(fileBrowser_.revealed, std::vector<QString>{savedFile()});

    QFile::remove(savedFile());
    emit menu->aboutToShow();
    EXPECT_EQ(noRecordings->text(), "No recordings yet");
    EXPECT_FALSE(noRecordings->isEnabled());
}

// What a user reads is in the words of a Linux desktop: none of the platform the program was
// first written for, nor the error bookkeeping of its frameworks.
TEST_F(FlowTest, UserFacingTextsUseLinuxWords) {
    QStringList texts;
    const std::function<void(const std::vector<MenuEntry>&)> collect = [&](const auto& entries) {
        for (const MenuEntry& entry : entries) {
            texts << entry.title << entry.toolTip;
            collect(entry.submenu);
        }
    };
    for (const Phase phase : {Phase::idle, Phase::recording, Phase::stopping}) {
        collect(buildStatusMenu(phase, store_));
    }
    LinuxKeyNames keyNames;
    QCoreApplication::installTranslator(&keyNames);
    const TrayMenu menu(Phase::idle, store_);
    texts << menu.menu()->actions().first()->shortcut().toString(QKeySequence::NativeText);
    QCoreApplication::removeTranslator(&keyNames);
    EXPECT_EQ(texts.last(), "Super+Shift+R");
    for (const SizePreset& preset : SizePresets::all()) {
        texts << SizePresets::tooltipText(preset, 2.0);
    }

    // Alerts of the flow: a stop by sleep, a start that fails, the permission prompt, a save.
    toRecording();
    delegate_->machineWillSleep();
    drainMainThread();
    startError_ = PlatformError::make("X11Capture", 5, "The stream failed.");
    toSelecting();
    overlay_->confirm(selection());
    scheduler_.advance(200ms);
    drainMainThread();
    Alerts::permissionNeeded(presenter_);
    Alerts::saved(presenter_, fileBrowser_, savedFile());
    Alerts::showDetails(presenter_, "No space left on device");
    statusItem_->panelPresent = false;
    scheduler_.advance(10s);
    for (const AlertRequest& alert : presenter_.alerts) {
        texts << alert.title << alert.message << alert.buttons;
    }
    for (const QString& notice : notifier_.notices) {
        texts << notice;
    }
    EXPECT_EQ(presenter_.alerts.size(), 5u);

    const QStringList foreign = {"Finder",       "Mac",  "Retina", "System Settings", "Privacy",
                                 "Error Domain", "Meta", "points", "Movies",          "Command"};
    for (const QString& text : texts) {
        for (const QString& word : foreign) {
            EXPECT_FALSE(text.contains(word)) << text.toStdString();
        }
    }
}

}  // namespace
}  // namespace vantorel::testing
