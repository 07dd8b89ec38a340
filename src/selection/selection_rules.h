#pragma once

#include "selection/drag_mode.h"

#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <optional>

namespace vantorel {

// The rules by which presses, drags, releases and size presets shape the selection on one
// screen. Everything is in that screen's overlay coordinates (logical pixels, origin top-left, y
// down); `bounds` is the overlay's rectangle and `scale` the screen's device pixels per logical
// pixel.

struct PressOutcome {
    DragMode drag;
    // The press throws away the current selection and starts drawing a new one on this screen.
    bool startsNewSelection = false;
};

// A press at `point`. `onActiveScreen` tells whether the selection (if any) lives on the screen
// that was pressed. Handles are tried before the interior.
PressOutcome pressRule(const QPointF& point, const std::optional<QRectF>& rect, bool onActiveScreen,
                       const QRectF& bounds);

struct DragOutcome {
    // False for a drag without a press: nothing changes and nothing needs redrawing.
    bool changed = false;
    std::optional<QRectF> rect;
};

DragOutcome dragRule(const QPointF& point, const DragMode& drag, const QRectF& bounds,
                     double scale);

// The selection kept (origin snapped to whole pixels) or, when an edge is shorter than
// kMinimumEdge, none.
std::optional<QRectF> releaseRule(const std::optional<QRectF>& rect, const QRectF& bounds,
                                  double scale);

struct PresetOutcome {
    QRectF rect;
    // The preset was larger than the screen and has been scaled down to fit it.
    bool fitted = false;
};

// A preset of width x height pixels centred on the current selection. None when it cannot apply
// (no selection, a size below 1).
std::optional<PresetOutcome> presetRule(int64_t width, int64_t height,
                                        const std::optional<QRectF>& rect, const QRectF& bounds,
                                        double scale);

}  // namespace vantorel
