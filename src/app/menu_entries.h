#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "app/phase.h"

namespace vantorel {

class PreferenceStore;

// What choosing a menu item does; `none` items are shown disabled unless they hold a submenu.
enum class MenuCommand {
    none,
    toggle,
    revealRecent,
    openFolder,
    setFrameRate,
    toggleCursor,
    toggleSound,
    chooseFolder,
    setCountdown,
    quit,
};

// One item of the tray menu, described without widgets.
struct MenuEntry {
    bool separator = false;
    QString title{};
    MenuCommand command = MenuCommand::none;
    QString shortcut{};  // a QKeySequence string, empty for none
    bool checked = false;
    bool checkable = false;
    QString toolTip{};
    int tag = 0;
    QString path{};  // the file or folder the item is about
    std::vector<MenuEntry> submenu{};

    bool enabled() const { return command != MenuCommand::none || !submenu.empty(); }
    static MenuEntry makeSeparator() { return MenuEntry{.separator = true}; }
};

// The shortcut shown for the toggle item, the same combination as the global hot key.
inline constexpr const char* kToggleShortcut = "Meta+Shift+R";
inline constexpr const char* kQuitShortcut = "Ctrl+Q";

// The whole tray menu for a phase, the stored settings and the recent recordings.
std::vector<MenuEntry> buildTrayMenu(Phase phase, const PreferenceStore& store);
// The "Settings" item with its submenu.
MenuEntry buildSettingsItem(const PreferenceStore& store);

}  // namespace vantorel
