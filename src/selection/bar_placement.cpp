#include "selection/bar_placement.h"

#include <algorithm>

namespace vantorel {

namespace {

double minY(const QRectF& r) {
    return r.y();
}

double maxY(const QRectF& r) {
    return r.y() + r.height();
}

// Mirrors a rectangle about the horizontal line y = axis / 2. The rules only compare positions
// with one another, so any axis gives the same placement once mirrored back.
QRectF mirrored(const QRectF& r, double axis) {
    return {r.x(), axis - (r.y() + r.height()), r.width(), r.height()};
}

}  // namespace

QPointF barOriginBottomUp(const QRectF& frame, const QRectF& visible, const QRectF& selection,
                          const QSizeF& bar) {
    const double top = maxY(frame) - selection.top();
    const double bottom = maxY(frame) - selection.bottom();
    double y = top + 12.0;
    if (maxY(visible) - 4.0 < y + bar.height()) {
        y = bottom - 12.0 - 72.0 - bar.height();
        if (y < minY(visible) + 4.0) {
            y = std::min(maxY(visible), top) - bar.height() - 12.0;
        }
    }
    double x = frame.left() + selection.left() + selection.width() * 0.5 - bar.width() * 0.5;
    x = std::max(x, frame.left() + 4.0);
    x = std::min(x, frame.right() - bar.width() - 4.0);
    return {x, y};
}

QPointF barOriginTopDown(const QRectF& frame, const QRectF& visible, const QRectF& selection,
                         const QSizeF& bar) {
    const double axis = frame.y() + frame.height();
    const QPointF lowerLeft =
        barOriginBottomUp(mirrored(frame, axis), mirrored(visible, axis), selection, bar);
    const QRectF placed = mirrored(QRectF(lowerLeft, bar), axis);
    return placed.topLeft();
}

}  // namespace vantorel
