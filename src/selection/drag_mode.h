#pragma once

#include "selection/handle.h"

#include <QPointF>
#include <QRectF>

#include <variant>

namespace vantorel {

// What the current press-and-drag is doing.
namespace drag {

// Nothing: before the first press and after every release.
struct None {
    bool operator==(const None&) const = default;
};

// Drawing a new selection from `anchor`, the press point clamped into the screen.
struct Creating {
    QPointF anchor;
    bool operator==(const Creating&) const = default;
};

// Moving `start` from the press point `grab` (not clamped, so the offset is kept exactly).
struct Moving {
    QPointF grab;
    QRectF start;
    bool operator==(const Moving&) const = default;
};

// Dragging `handle` of the selection that was `start` at the press.
struct Resizing {
    Handle handle;
    QRectF start;
    bool operator==(const Resizing&) const = default;
};

}  // namespace drag

using DragMode = std::variant<drag::None, drag::Creating, drag::Moving, drag::Resizing>;

}  // namespace vantorel
