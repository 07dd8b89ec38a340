#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace vantorel {

// Where the control bar window goes next to a selection: above it, else below it (clear of the
// size label), else inside it near its top; centred on it horizontally and kept 4 logical pixels
// inside the screen. `frame` and `visible` are the screen's QScreen::geometry() and
// availableGeometry(); `selection` is in the screen's own overlay coordinates. The result is the
// bar's top-left corner in Qt's global coordinates.
QPointF barOrigin(const QRectF& frame, const QRectF& visible, const QRectF& selection,
                  const QSizeF& bar);

}  // namespace vantorel
