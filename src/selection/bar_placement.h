#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace vantorel {

// Where the control bar goes next to a selection: above it, else below it, else inside near its
// top; centred on it horizontally and kept 4 points inside the screen.
//
// The rules are stated with y upwards (origin at the bottom left), so they are written once in
// that space: `frame` and `visible` are the screen's full and usable rectangles there, with
// y() the lower edge. `selection` is in the screen's own overlay coordinates (origin top-left,
// y down). The result is the bar's lower-left corner, y upwards.
QPointF barOriginBottomUp(const QRectF& frame, const QRectF& visible, const QRectF& selection,
                          const QSizeF& bar);

// The same placement for Qt's global coordinates (origin top-left, y down): `frame` and
// `visible` are QScreen::geometry() and availableGeometry(); the result is the bar window's
// top-left corner.
QPointF barOriginTopDown(const QRectF& frame, const QRectF& visible, const QRectF& selection,
                         const QSizeF& bar);

}  // namespace vantorel
