#include "selection/selection_rules.h"

#include "selection/selection_math.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

QRectF creatingRect(const QPointF& anchor, const QPointF& point, const QRectF& bounds, double scale,
                    bool* present) {
    const QPointF p = clampPoint(point, bounds);
    const double dx = std::abs(p.x() - anchor.x());
    const double dy = std::abs(p.y() - anchor.y());
    *present = !(dx < 1.0 && dy < 1.0);
    if (!*present) {
        return {};
    }
    double w = evenExtent(dx, scale);
    double h = evenExtent(dy, scale);
    // The anchor stays a corner whichever way the pointer went.
    const double x = p.x() >= anchor.x() ? anchor.x() : anchor.x() - w;
    const double y = p.y() >= anchor.y() ? anchor.y() : anchor.y() - h;
    w = std::min(w, bounds.width());
    h = std::min(h, bounds.height());
    return placeRect({x, y}, {w, h}, bounds);
}

QRectF movingRect(const QPointF& grab, const QRectF& start, const QPointF& point,
                  const QRectF& bounds) {
    const QPointF origin = start.topLeft() + (point - grab);
    return placeRect(origin, start.size(), bounds);
}

QRectF resizingRect(Handle handle, const QRectF& start, const QPointF& point, const QRectF& bounds,
                    double scale) {
    const QPointF p = clampPoint(point, bounds);
    // Each edge is fixed before the next one reads it, so a dragged edge never comes closer
    // than the minimum to the opposite one.
    const double left =
        movesLeftEdge(handle) ? std::min(start.right() - kMinimumEdge, p.x()) : start.left();
    const double right =
        movesRightEdge(handle) ? std::max(left + kMinimumEdge, p.x()) : start.right();
    const double top =
        movesTopEdge(handle) ? std::min(start.bottom() - kMinimumEdge, p.y()) : start.top();
    const double bottom =
        movesBottomEdge(handle) ? std::max(top + kMinimumEdge, p.y()) : start.bottom();
    const double w = std::min(evenExtent(right - left, scale), bounds.width());
    const double h = std::min(evenExtent(bottom - top, scale), bounds.height());
    const double x = movesLeftEdge(handle) ? right - w : left;
    const double y = movesTopEdge(handle) ? bottom - h : top;
    return placeRect({x, y}, {w, h}, bounds);
}

// The largest even pixel count a screen extent can take, rounded down, at least 2.
int64_t largestEvenPixels(double length, double scale) {
    return std::max<int64_t>(2, 2 * floorToInt(scale * length * 0.5));
}

int64_t evenPixelsDown(double pixels) {
    return std::max<int64_t>(2, 2 * floorToInt(pixels * 0.5));
}

}  // namespace

PressOutcome pressRule(const QPointF& point, const std::optional<QRectF>& rect, bool onActiveScreen,
                       const QRectF& bounds) {
    if (rect && onActiveScreen) {
        if (const auto handle = handleAt(point, *rect)) {
            return {drag::Resizing{*handle, *rect}, false};
        }
        if (containsHalfOpen(*rect, point)) {
            return {drag::Moving{point, *rect}, false};
        }
    }
    return {drag::Creating{clampPoint(point, bounds)}, true};
}

DragOutcome dragRule(const QPointF& point, const DragMode& mode, const QRectF& bounds,
                     double scale) {
    if (const auto* creating = std::get_if<drag::Creating>(&mode)) {
        bool present = false;
        const QRectF rect = creatingRect(creating->anchor, point, bounds, scale, &present);
        return {true, present ? std::optional<QRectF>(rect) : std::nullopt};
    }
    if (const auto* moving = std::get_if<drag::Moving>(&mode)) {
        return {true, movingRect(moving->grab, moving->start, point, bounds)};
    }
    if (const auto* resizing = std::get_if<drag::Resizing>(&mode)) {
        return {true, resizingRect(resizing->handle, resizing->start, point, bounds, scale)};
    }
    return {false, std::nullopt};
}

std::optional<QRectF> releaseRule(const std::optional<QRectF>& rect, const QRectF& bounds,
                                  double scale) {
    if (!rect || rect->width() < kMinimumEdge || rect->height() < kMinimumEdge) {
        return std::nullopt;
    }
    const QRectF snapped = snapOrigin(*rect, scale);
    return placeRect(snapped.topLeft(), snapped.size(), bounds);
}

std::optional<PresetOutcome> presetRule(int64_t width, int64_t height,
                                        const std::optional<QRectF>& rect, const QRectF& bounds,
                                        double scale) {
    if (!rect || width < 1 || height < 1) {
        return std::nullopt;
    }
    const int64_t maxWidth = largestEvenPixels(bounds.width(), scale);
    const int64_t maxHeight = largestEvenPixels(bounds.height(), scale);
    int64_t pixelWidth = width;
    int64_t pixelHeight = height;
    bool fitted = false;
    if (width > maxWidth || height > maxHeight) {
        const double factor =
            std::min(static_cast<double>(maxWidth) / static_cast<double>(width),
                     static_cast<double>(maxHeight) / static_cast<double>(height));
        pixelWidth = evenPixelsDown(factor * static_cast<double>(width));
        pixelHeight = evenPixelsDown(factor * static_cast<double>(height));
        fitted = true;
    }
    const double w = static_cast<double>(pixelWidth) / scale;
    const double h = static_cast<double>(pixelHeight) / scale;
    const QPointF centre = rect->center();
    const QRectF placed = placeRect({centre.x() - w * 0.5, centre.y() - h * 0.5}, {w, h}, bounds);
    return PresetOutcome{snapOrigin(placed, scale), fitted};
}

}  // namespace vantorel
