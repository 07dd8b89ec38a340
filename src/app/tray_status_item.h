#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

#include "app/status_item.h"

namespace vantorel {

// The status item as a system-tray icon (StatusNotifierItem or XEmbed, whichever the panel
// speaks). Tray hosts show no text next to an icon, so the title goes into the tooltip.
class TrayStatusItem final : public QObject, public StatusItem {
    Q_OBJECT

  public:
    TrayStatusItem();
    ~TrayStatusItem() override;

    void setLook(const StatusLook& look) override;
    QMenu* menu() override { return menu_.get(); }
    QSystemTrayIcon& trayIcon() { return tray_; }

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void refreshIcon();

    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon tray_;
    StatusLook look_;
};

}  // namespace vantorel
