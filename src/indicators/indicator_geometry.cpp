#include "indicators/indicator_geometry.h"

#include <algorithm>

namespace vantorel {

QRectF globalFrame(const QRectF& screenGeometry, const QRectF& rect) {
    return rect.translated(screenGeometry.topLeft());
}

QRectF outlineFrame(const QRectF& screenGeometry, const QRectF& rect) {
    return globalFrame(screenGeometry, rect)
        .adjusted(-kOutlineMargin, -kOutlineMargin, kOutlineMargin, kOutlineMargin);
}

QRectF outlineStrokeRect(const QSizeF& panelSize) {
    const double inset = kOutlineStroke / 2;
    return QRectF(QPointF(0, 0), panelSize).adjusted(inset, inset, -inset, -inset);
}

double countdownDiameter(const QSizeF& regionSize) {
    return std::min(0.8 * std::min(regionSize.width(), regionSize.height()), 180.0);
}

double countdownFontSize(double diameter) {
    return 0.6 * diameter;
}

QPointF stopPillOrigin(const QRectF& availableGeometry, const QSizeF& pillSize) {
    return QPointF(availableGeometry.center().x() - pillSize.width() * 0.5,
                   availableGeometry.top() + kStopPillTopGap);
}

}  // namespace vantorel
