#pragma once

#include <QObject>

#include <memory>
#include <unordered_map>
#include <vector>

#include "app/menu_entries.h"
#include "app/phase.h"

class QAction;
class QMenu;

namespace vantorel {

class PreferenceStore;

// The tray item's menu as widgets, made once and kept up to date for the whole run.
//
// Tray hosts that show the menu over D-Bus (com.canonical.dbusmenu) may fetch it before they
// announce an opening, and know each item by an id that lives exactly as long as its QAction.
// So the menu is complete from the start, and a refresh changes the actions it already has;
// only the recent recordings may add or remove actions. Main thread only.
class TrayMenu final : public QObject {
    Q_OBJECT

  public:
    TrayMenu(Phase phase, const PreferenceStore& store);
    ~TrayMenu() override;

    QMenu* menu() const { return menu_.get(); }

    // Brings every item in line with the phase, the stored settings and the recent recordings.
    // Changes only what differs, so a refresh that finds nothing new sends nothing to the host.
    void refresh(Phase phase, const PreferenceStore& store);

  Q_SIGNALS:
    // The user chose an item; `entry` describes it as the latest refresh did.
    void chosen(const vantorel::MenuEntry& entry);

  private:
    void apply(QMenu* menu, const std::vector<MenuEntry>& entries);
    QAction* add(QMenu* menu, const MenuEntry& entry, QAction* before);
    void update(QAction* action, const MenuEntry& entry);
    void discard(QMenu* menu, QAction* action);

    std::unique_ptr<QMenu> menu_;
    // What each choosable action stands for now; a reused action changes its entry.
    std::unordered_map<const QAction*, MenuEntry> entries_;
};

}  // namespace vantorel
