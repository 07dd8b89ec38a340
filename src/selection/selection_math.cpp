#include "selection/selection_math.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

double roundHalfAway(double value) {
    return std::round(value);
}

int64_t roundToInt(double value) {
    return static_cast<int64_t>(std::round(value));
}

int64_t floorToInt(double value) {
    return static_cast<int64_t>(std::floor(value));
}

QPointF clampPoint(const QPointF& point, const QRectF& bounds) {
    return {std::min(std::max(bounds.left(), point.x()), bounds.right()),
            std::min(std::max(bounds.top(), point.y()), bounds.bottom())};
}

QRectF placeRect(const QPointF& origin, const QSizeF& size, const QRectF& bounds) {
    const double x = std::min(std::max(origin.x(), bounds.left()), bounds.right() - size.width());
    const double y = std::min(std::max(origin.y(), bounds.top()), bounds.bottom() - size.height());
    return {x, y, size.width(), size.height()};
}

double evenExtent(double length, double scale) {
    double pixels = 2.0 * roundHalfAway(scale * length * 0.5);
    if (pixels < 2.0) {
        pixels = 2.0;
    }
    return pixels / scale;
}

std::pair<int64_t, int64_t> pixelSize(const QRectF& rect, double scale) {
    return {roundToInt(scale * rect.width()), roundToInt(scale * rect.height())};
}

QRectF snapOrigin(const QRectF& rect, double scale) {
    return {roundHalfAway(scale * rect.left()) / scale, roundHalfAway(scale * rect.top()) / scale,
            rect.width(), rect.height()};
}

bool containsHalfOpen(const QRectF& rect, const QPointF& point) {
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
           point.y() < rect.bottom();
}

}  // namespace vantorel
