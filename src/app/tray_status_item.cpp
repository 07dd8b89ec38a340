#include "app/tray_status_item.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>

#include "app/status_icons.h"

namespace vantorel {

namespace {

// "Vantorel" when idle, "Recording 01:01" while recording, "Saving…" while saving.
QString firstLineOf(const StatusLook& look) {
    if (look.title.isEmpty()) {
        return look.accessibilityDescription;
    }
    if (look.symbol == StatusSymbol::circleFill) {
        return look.accessibilityDescription + look.title;
    }
    return look.title.trimmed();
}

// The look's note, when it has one, goes on a line of its own.
QString toolTipFor(const StatusLook& look) {
    const QString first = firstLineOf(look);
    return look.note.isEmpty() ? first : first + '\n' + look.note;
}

}  // namespace

TrayStatusItem::TrayStatusItem() : menu_(std::make_unique<QMenu>()) {
    tray_.setContextMenu(menu_.get());
    // A left click opens the same menu, as a panel item's menu does.
    connect(&tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    menu_->popup(tray_.geometry().isValid() ? tray_.geometry().bottomLeft()
                                                            : QCursor::pos());
                }
            });
    // The ring follows the panel's light or dark colour when the palette changes.
    qApp->installEventFilter(this);
    refreshIcon();
    tray_.show();
}

TrayStatusItem::~TrayStatusItem() {
    qApp->removeEventFilter(this);
    tray_.hide();
}

void TrayStatusItem::setLook(const StatusLook& look) {
    look_ = look;
    refreshIcon();
    tray_.setToolTip(toolTipFor(look));
}

bool TrayStatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        refreshIcon();
    }
    return QObject::eventFilter(watched, event);
}

void TrayStatusItem::refreshIcon() {
    const QColor foreground = QApplication::palette().color(QPalette::WindowText);
    tray_.setIcon(drawStatusSymbol(look_.symbol, foreground));
}

}  // namespace vantorel
