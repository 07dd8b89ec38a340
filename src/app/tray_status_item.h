#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include "app/status_item.h"

class QMenu;

namespace vantorel {

// The status item as a system-tray icon (StatusNotifierItem or XEmbed, whichever the panel
// speaks). Tray hosts show no text next to an icon, so the title goes into the tooltip.
class TrayStatusItem final : public QObject, public StatusItem {
    Q_OBJECT

  public:
    // `menu` is complete before the item shows: a host may fetch it as soon as the item appears.
    explicit TrayStatusItem(QMenu* menu);
    ~TrayStatusItem() override;

    void setLook(const StatusLook& look) override;
    bool inPanel() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
    QSystemTrayIcon& trayIcon() { return tray_; }

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void refreshIcon();

    QSystemTrayIcon tray_;
    StatusLook look_;
};

}  // namespace vantorel
