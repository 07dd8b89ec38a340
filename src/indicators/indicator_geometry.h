#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace vantorel {

// Placement of the recording indicators, in Qt's global coordinates (points, origin at the top
// left of the virtual desktop, y downwards). A selection rectangle is measured from its screen's
// top-left corner, so it only needs the screen's origin added.
QRectF globalFrame(const QRectF& screenGeometry, const QRectF& rect);

// The outline panel: the region grown by 3 points on every side.
QRectF outlineFrame(const QRectF& screenGeometry, const QRectF& rect);
inline constexpr double kOutlineMargin = 3.0;
inline constexpr double kOutlineStroke = 2.0;
// The rectangle the 2-point stroke is centred on: the panel's bounds inset by 1 point, so the
// red band runs from 3 to 1 points outside the region.
QRectF outlineStrokeRect(const QSizeF& panelSize);

// The countdown's dark circle: 0.8 of the region's shorter side, at most 180 points across.
double countdownDiameter(const QSizeF& regionSize);
// The number's font size: 0.6 of the circle's diameter.
double countdownFontSize(double diameter);

// The stop pill's top-left corner: centred on the screen's available area, its top edge
// 6 points below the top of that area.
QPointF stopPillOrigin(const QRectF& availableGeometry, const QSizeF& pillSize);
inline constexpr double kStopPillTopGap = 6.0;

}  // namespace vantorel
