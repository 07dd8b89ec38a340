#pragma once

#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <utility>

namespace vantorel {

// The two roundings of region selection. They are kept apart on purpose: sizes shown and
// recorded round to nearest, while the largest size a screen can take rounds down.

// Nearest integer, halves away from zero (2.5 -> 3, -2.5 -> -3).
double roundHalfAway(double value);
int64_t roundToInt(double value);
// Towards minus infinity.
int64_t floorToInt(double value);

// The smallest edge, in logical pixels, that a selection may keep after a release or a resize.
inline constexpr double kMinimumEdge = 20.0;

// `point` moved into `bounds`, edges included.
QPointF clampPoint(const QPointF& point, const QRectF& bounds);

// A rectangle of `size` at the wanted `origin`, pushed inside `bounds`. When it is larger than the
// bounds its origin ends up before the bounds' minimum, as the maximum is taken first.
QRectF placeRect(const QPointF& origin, const QSizeF& size, const QRectF& bounds);

// A length in logical pixels whose pixel count at `scale` is even and at least 2, so that encoders
// that need even frame sizes get exactly what was drawn.
double evenExtent(double length, double scale);

// (round(scale * width), round(scale * height)).
std::pair<int64_t, int64_t> pixelSize(const QRectF& rect, double scale);

// The origin moved to whole pixels; the size is kept.
QRectF snapOrigin(const QRectF& rect, double scale);

// Left and top edges inside, right and bottom edges outside.
bool containsHalfOpen(const QRectF& rect, const QPointF& point);

}  // namespace vantorel
