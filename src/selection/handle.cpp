#include "selection/handle.h"

#include <cmath>

namespace vantorel {

QPointF handleAnchor(Handle handle, const QRectF& rect) {
    const double midX = rect.left() + rect.width() * 0.5;
    const double midY = rect.top() + rect.height() * 0.5;
    switch (handle) {
        case Handle::topLeft:
            return {rect.left(), rect.top()};
        case Handle::top:
            return {midX, rect.top()};
        case Handle::topRight:
            return {rect.right(), rect.top()};
        case Handle::left:
            return {rect.left(), midY};
        case Handle::right:
            return {rect.right(), midY};
        case Handle::bottomLeft:
            return {rect.left(), rect.bottom()};
        case Handle::bottom:
            return {midX, rect.bottom()};
        case Handle::bottomRight:
            return {rect.right(), rect.bottom()};
    }
    return {};
}

bool movesLeftEdge(Handle handle) {
    return handle == Handle::topLeft || handle == Handle::left || handle == Handle::bottomLeft;
}

bool movesRightEdge(Handle handle) {
    return handle == Handle::topRight || handle == Handle::right || handle == Handle::bottomRight;
}

bool movesTopEdge(Handle handle) {
    return handle == Handle::topLeft || handle == Handle::top || handle == Handle::topRight;
}

bool movesBottomEdge(Handle handle) {
    return handle == Handle::bottomLeft || handle == Handle::bottom ||
           handle == Handle::bottomRight;
}

std::optional<Handle> handleAt(const QPointF& point, const QRectF& rect) {
    std::optional<Handle> best;
    double bestDistance = 0.0;
    for (Handle handle : kAllHandles) {
        const QPointF anchor = handleAnchor(handle, rect);
        const double distance = std::hypot(point.x() - anchor.x(), point.y() - anchor.y());
        if (distance > kHandleReach) {
            continue;
        }
        // Strictly nearer only: ties keep the earlier handle.
        if (!best || distance < bestDistance) {
            best = handle;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace vantorel
