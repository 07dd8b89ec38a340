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

std::optional<QRectF> stopPillFrame(const std::vector<ScreenArea>& screens, size_t regionScreen,
                                    const QRectF& region, const QSizeF& pillSize) {
    if (regionScreen >= screens.size()) {
        return std::nullopt;
    }
    // The region with its outline: the pill keeps the same gap from it as from a panel.
    const QRectF keepOut =
        region.adjusted(-kOutlineMargin, -kOutlineMargin, kOutlineMargin, kOutlineMargin);
    const auto fits = [&](const QRectF& frame, const QRectF& available) {
        return available.contains(frame) && !frame.intersects(keepOut);
    };
    const QRectF& home = screens[regionScreen].available;
    const QRectF usual(stopPillOrigin(home, pillSize), pillSize);
    if (fits(usual, home)) {
        return usual;
    }
    // Just below the region. Above it is never free when the usual place is not: the usual
    // place is already the highest spot the screen offers.
    const QRectF below(
        QPointF(region.center().x() - pillSize.width() * 0.5, keepOut.bottom() + kStopPillTopGap),
        pillSize);
    if (fits(below, home)) {
        return below;
    }
    for (size_t i = 0; i < screens.size(); ++i) {
        const QRectF elsewhere(stopPillOrigin(screens[i].available, pillSize), pillSize);
        if (i != regionScreen && fits(elsewhere, screens[i].available)) {
            return elsewhere;
        }
    }
    return std::nullopt;
}

}  // namespace vantorel
