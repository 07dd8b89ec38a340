#include "app/tray_icons.h"

#include <QPainter>
#include <QPixmap>

#include "platform/system_colors.h"

namespace vantorel {

namespace {

// The palette may say light while the panel is dark, or the other way round: a backing in the
// opposite shade keeps the ring and dot visible on either.
QColor oppositeShade(const QColor& foreground) {
    QColor shade = foreground.lightnessF() > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    shade.setAlphaF(0.85f);
    return shade;
}

QPixmap drawAt(TraySymbol symbol, const QColor& foreground, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, size, size);
    const qreal margin = size * 0.125;
    const QRectF outer = box.adjusted(margin, margin, -margin, -margin);
    if (symbol == TraySymbol::redDisc) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgba(kRecordingRed));
        painter.drawEllipse(outer);
        return pixmap;
    }
    const qreal stroke = std::max<qreal>(1.0, size / 12.0);
    const qreal edge = std::max<qreal>(1.0, size / 20.0);  // the backing's rim, within the margin
    const QRectF ring = outer.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2);
    const qreal dotSize = outer.width() * 0.45;
    const QRectF dot(box.center().x() - dotSize / 2, box.center().y() - dotSize / 2, dotSize,
                     dotSize);

    // Underneath, a disc in the opposite shade: it vanishes into a panel that matches the
    // palette and shows as a small badge on one that does not.
    painter.setPen(Qt::NoPen);
    painter.setBrush(oppositeShade(foreground));
    painter.drawEllipse(outer.adjusted(-edge, -edge, edge, edge));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(foreground, stroke));
    painter.drawEllipse(ring);
    painter.setPen(Qt::NoPen);
    painter.setBrush(foreground);
    painter.drawEllipse(dot);
    return pixmap;
}

}  // namespace

QIcon drawTraySymbol(TraySymbol symbol, const QColor& foreground) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(drawAt(symbol, foreground, size));
    }
    return icon;
}

}  // namespace vantorel
