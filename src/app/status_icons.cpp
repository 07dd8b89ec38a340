#include "app/status_icons.h"

#include <QPainter>
#include <QPixmap>

namespace vantorel {

namespace {

QPixmap drawAt(StatusSymbol symbol, const QColor& foreground, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, size, size);
    const qreal margin = size * 0.125;
    const QRectF outer = box.adjusted(margin, margin, -margin, -margin);
    if (symbol == StatusSymbol::circleFill) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgba(kSystemRed));
        painter.drawEllipse(outer);
        return pixmap;
    }
    const qreal stroke = std::max<qreal>(1.0, size / 12.0);
    painter.setPen(QPen(foreground, stroke));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(outer.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(foreground);
    const qreal dot = outer.width() * 0.45;
    painter.drawEllipse(QRectF(box.center().x() - dot / 2, box.center().y() - dot / 2, dot, dot));
    return pixmap;
}

}  // namespace

QIcon drawStatusSymbol(StatusSymbol symbol, const QColor& foreground) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(drawAt(symbol, foreground, size));
    }
    return icon;
}

}  // namespace vantorel
