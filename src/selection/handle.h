#pragma once

#include <QPointF>
#include <QRectF>

#include <array>
#include <optional>

namespace vantorel {

// The eight resize handles. The order is fixed: hit testing and drawing walk them in this order,
// so on a tie the earlier handle wins.
enum class Handle {
    topLeft,
    top,
    topRight,
    left,
    right,
    bottomLeft,
    bottom,
    bottomRight,
};

inline constexpr std::array<Handle, 8> kAllHandles = {
    Handle::topLeft, Handle::top,        Handle::topRight, Handle::left,
    Handle::right,   Handle::bottomLeft, Handle::bottom,   Handle::bottomRight,
};

// How far from its anchor, in logical pixels, a press still takes a handle.
inline constexpr double kHandleReach = 11.0;

// The point on `rect` that the handle sits on.
QPointF handleAnchor(Handle handle, const QRectF& rect);

// Which edges a drag of the handle moves.
bool movesLeftEdge(Handle handle);
bool movesRightEdge(Handle handle);
bool movesTopEdge(Handle handle);
bool movesBottomEdge(Handle handle);

// The handle nearest to `point` within kHandleReach of its anchor, or none. Purely by distance,
// so a handle can be taken from outside the rectangle; on equal distances the handle earlier in
// kAllHandles wins.
std::optional<Handle> handleAt(const QPointF& point, const QRectF& rect);

}  // namespace vantorel
