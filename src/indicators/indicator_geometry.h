#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <cstddef>
#include <optional>
#include <vector>

namespace vantorel {

// Placement of the recording indicators, in Qt's global coordinates (logical pixels, origin at
// the top left of the virtual desktop, y downwards). A selection rectangle is measured from its
// screen's top-left corner, so it only needs the screen's origin added.
QRectF globalFrame(const QRectF& screenGeometry, const QRectF& rect);

// The outline panel: the region grown by 3 logical pixels on every side.
QRectF outlineFrame(const QRectF& screenGeometry, const QRectF& rect);
inline constexpr double kOutlineMargin = 3.0;
inline constexpr double kOutlineStroke = 2.0;
// The rectangle the 2-pixel stroke is centred on: the panel's bounds inset by 1, so the red
// band runs from 3 to 1 logical pixels outside the region.
QRectF outlineStrokeRect(const QSizeF& panelSize);

// The countdown's dark circle: 0.8 of the region's shorter side, at most 180 logical pixels across.
double countdownDiameter(const QSizeF& regionSize);
// The number's font size: 0.6 of the circle's diameter.
double countdownFontSize(double diameter);

// The stop pill's top-left corner: centred on the screen's available area, its top edge
// 6 logical pixels below the top of that area.
QPointF stopPillOrigin(const QRectF& availableGeometry, const QSizeF& pillSize);
inline constexpr double kStopPillTopGap = 6.0;

// A screen as the stop pill's placement sees it: its whole area and the part panels leave free.
struct ScreenArea {
    QRectF geometry;
    QRectF available;
};

// Where the stop pill goes while `region` (global coordinates) is recorded on
// `screens[regionScreen]`. An X11 grab sees every window over the region, so the pill must never
// lie on it, nor on the outline round it. In order of preference: the usual place at the top
// centre of the region's screen; just below the region on that screen; the usual place on
// another screen. Nothing when the region leaves no room anywhere.
std::optional<QRectF> stopPillFrame(const std::vector<ScreenArea>& screens, size_t regionScreen,
                                    const QRectF& region, const QSizeF& pillSize);

}  // namespace vantorel
