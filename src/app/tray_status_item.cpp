#include "app/tray_status_item.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
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

TrayStatusItem::TrayStatusItem(QMenu* menu) {
    tray_.setContextMenu(menu);
    // A left click opens the same menu, as a panel item's menu does.
    connect(&tray_, &QSystemTrayIcon::activated, this,
            [this, menu](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    menu->popup(tray_.geometry().isValid() ? tray_.geometry().bottomLeft()
                                                           : QCursor::pos());
                }
            });
    // The ring takes the palette's text colour, so it is drawn again when the palette changes.
    qApp->installEventFilter(this);
    refreshIcon();
    tray_.show();
}

TrayStatusItem::~TrayStatusItem() {
    qApp->removeEventFilter(this);
    tray_.hide();
}

void TrayStatusItem::setLook(const StatusLook& look) {
    // A StatusNotifierItem host is sent the icon as pixmaps at every size each time it is set,
    // so the icon is set when the symbol changes, not on each tick of the elapsed time.
    const bool newSymbol = look.symbol != look_.symbol;
    look_ = look;
    if (newSymbol) {
        refreshIcon();
    }
    const QString toolTip = toolTipFor(look);
    if (toolTip != tray_.toolTip()) {
        tray_.setToolTip(toolTip);
    }
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
