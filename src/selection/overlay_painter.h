#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>

#include <optional>

class QPainter;

namespace vantorel {

// Everything one screen's overlay shows, read afresh for every paint.
struct OverlayScene {
    // The overlay's own rectangle, origin top-left.
    QRectF bounds;
    // The selection, when it lives on this screen.
    std::optional<QRectF> selection;
    // Device pixels per logical pixel of the screen, for the size label.
    double scale = 1.0;
    // Without a compositing manager the overlay cannot let the desktop through, so it shows this
    // picture of the screen taken when it opened. Null when composited.
    QImage backdrop;
};

// The accent of borders, handles and the label box.
QColor selectionYellow();

// Dimming with the selection cut out, then the selection's fill, yellow border, white dashed
// line, the eight handles and the size label, in that order.
void paintOverlay(QPainter& painter, const OverlayScene& scene);

}  // namespace vantorel
