#include "app/tray_menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace vantorel {

namespace {

enum class Kind { separator, submenu, command };

Kind kindOf(const MenuEntry& entry) {
    if (entry.separator) {
        return Kind::separator;
    }
    return entry.submenu.empty() ? Kind::command : Kind::submenu;
}

Kind kindOf(const QAction* action) {
    if (action->isSeparator()) {
        return Kind::separator;
    }
    return action->menu() != nullptr ? Kind::submenu : Kind::command;
}

}  // namespace

TrayMenu::TrayMenu(Phase phase, const PreferenceStore& store) : menu_(std::make_unique<QMenu>()) {
    menu_->setToolTipsVisible(true);
    refresh(phase, store);
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::refresh(Phase phase, const PreferenceStore& store) {
    apply(menu_.get(), buildTrayMenu(phase, store));
}

// Actions are matched to entries by position: the menu's shape is fixed apart from the recent
// recordings, whose first actions are reused for whatever files are listed now.
void TrayMenu::apply(QMenu* menu, const std::vector<MenuEntry>& entries) {
    const QList<QAction*> actions = menu->actions();
    for (size_t i = 0; i < entries.size(); ++i) {
        QAction* current = i < static_cast<size_t>(actions.size()) ? actions[i] : nullptr;
        if (current != nullptr && kindOf(current) == kindOf(entries[i])) {
            update(current, entries[i]);
            continue;
        }
        add(menu, entries[i], current);
        if (current != nullptr) {
            discard(menu, current);
        }
    }
    for (qsizetype i = static_cast<qsizetype>(entries.size()); i < actions.size(); ++i) {
        discard(menu, actions[i]);
    }
}

QAction* TrayMenu::add(QMenu* menu, const MenuEntry& entry, QAction* before) {
    QAction* action = nullptr;
    switch (kindOf(entry)) {
        case Kind::separator:
            action = new QAction(menu);
            action->setSeparator(true);
            break;
        case Kind::submenu: {
            auto* submenu = new QMenu(menu);
            submenu->setToolTipsVisible(true);
            action = submenu->menuAction();
            break;
        }
        case Kind::command:
            action = new QAction(menu);
            connect(action, &QAction::triggered, this, [this, action] {
                // A copy: the choice may refresh the menu, which replaces the entry.
                const MenuEntry choice = entries_.at(action);
                emit chosen(choice);
            });
            break;
    }
    menu->insertAction(before, action);
    update(action, entry);
    return action;
}

// Qt compares before it signals, so setting an unchanged value costs the host nothing.
void TrayMenu::update(QAction* action, const MenuEntry& entry) {
    if (entry.separator) {
        return;
    }
    action->setText(entry.title);
    action->setEnabled(entry.enabled());
    action->setCheckable(entry.checkable);
    action->setChecked(entry.checked);
    action->setToolTip(entry.toolTip);
    action->setShortcut(QKeySequence(entry.shortcut));
    if (QMenu* submenu = action->menu()) {
        apply(submenu, entry.submenu);
    } else {
        entries_[action] = entry;
    }
}

// Deleted later: the action may be the one whose choice caused this refresh.
void TrayMenu::discard(QMenu* menu, QAction* action) {
    menu->removeAction(action);
    if (QMenu* submenu = action->menu()) {
        for (QAction* child : submenu->actions()) {
            discard(submenu, child);
        }
        submenu->deleteLater();
        return;
    }
    entries_.erase(action);
    action->deleteLater();
}

}  // namespace vantorel
