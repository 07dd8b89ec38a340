#include "app/menu_entries.h"

#include <QFileInfo>

#include "platform/preference_store.h"
#include "prefs/preferences.h"

namespace vantorel {

namespace {

const QString kEllipsis = QStringLiteral("\u2026");
const QString kTimes = QStringLiteral("\u00D7");

MenuEntry toggleItem(Phase phase) {
    MenuEntry item{.title = {}, .command = MenuCommand::toggle, .shortcut = kToggleShortcut};
    switch (phase) {
        case Phase::idle:
            item.title = "Start Recording";
            break;
        case Phase::selecting:
            item.title = "Cancel Selection";
            break;
        case Phase::recording:
            item.title = "Stop Recording";
            break;
        case Phase::countdown:
            item = MenuEntry{.title = "Starting" + kEllipsis};
            break;
        case Phase::stopping:
            item = MenuEntry{.title = "Saving" + kEllipsis};
            break;
    }
    return item;
}

MenuEntry recentsItem(const PreferenceStore& store) {
    MenuEntry item{.title = "Recent Recordings"};
    for (const QString& path : Preferences::recents(store)) {
        item.submenu.push_back(MenuEntry{.title = QFileInfo(path).fileName(),
                                         .command = MenuCommand::revealRecent,
                                         .path = path});
    }
    if (item.submenu.empty()) {
        item.submenu.push_back(MenuEntry{.title = "No recordings yet"});
    }
    return item;
}

MenuEntry choiceItem(const QString& title, MenuCommand command, int tag, bool on) {
    return MenuEntry{
        .title = title, .command = command, .checked = on, .checkable = true, .tag = tag};
}

MenuEntry switchItem(const QString& title, MenuCommand command, bool on) {
    return MenuEntry{.title = title, .command = command, .checked = on, .checkable = true};
}

}  // namespace

MenuEntry buildSettingsItem(const PreferenceStore& store) {
    const bool sixty = store.integer(Preferences::kFrameRate) == 60;
    MenuEntry frameRate{.title = "Frame Rate"};
    frameRate.submenu = {choiceItem("30 fps", MenuCommand::setFrameRate, 30, !sixty),
                         choiceItem("60 fps", MenuCommand::setFrameRate, 60, sixty)};

    const QString folder = Preferences::saveFolder(store);
    MenuEntry saveLocation{.title = "Save Location: " + QFileInfo(folder).fileName() + kEllipsis,
                           .command = MenuCommand::chooseFolder,
                           .toolTip = folder,
                           .path = folder};

    const bool countdownOn = store.integer(Preferences::kCountdownSeconds) != 0;
    MenuEntry countdown{.title = "Countdown Before Recording"};
    countdown.submenu = {choiceItem("None", MenuCommand::setCountdown, 0, !countdownOn),
                         choiceItem("3 seconds", MenuCommand::setCountdown, 3, countdownOn)};

    MenuEntry settings{.title = "Settings"};
    settings.submenu = {
        frameRate,
        switchItem("Show Cursor", MenuCommand::toggleCursor,
                   store.boolean(Preferences::kShowsCursor)),
        switchItem("Record System Sound", MenuCommand::toggleSound,
                   store.boolean(Preferences::kRecordSystemSound)),
        saveLocation,
        countdown,
        MenuEntry::makeSeparator(),
        MenuEntry{.title = "Sizes are real pixels",
                  .toolTip = "A 1920" + kTimes + "1080 recording is 960" + kTimes +
                             "540 logical pixels at 200 % scaling."},
        MenuEntry{.title = "1920" + kTimes + "1080 = 960" + kTimes + "540 at 200 % scaling"},
    };
    return settings;
}

std::vector<MenuEntry> buildTrayMenu(Phase phase, const PreferenceStore& store) {
    return {
        toggleItem(phase),
        MenuEntry::makeSeparator(),
        recentsItem(store),
        MenuEntry{.title = "Open Recordings Folder", .command = MenuCommand::openFolder},
        MenuEntry::makeSeparator(),
        buildSettingsItem(store),
        MenuEntry::makeSeparator(),
        MenuEntry{.title = "Quit", .command = MenuCommand::quit, .shortcut = kQuitShortcut},
    };
}

}  // namespace vantorel
