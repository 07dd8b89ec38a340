#pragma once

#include "platform/capture_service.h"

namespace vantorel {

// A rectangle of whole device pixels on the root window.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The overlap of two rectangles; empty (all zero) when they do not overlap.
PixelRect intersection(const PixelRect& a, const PixelRect& b);
bool intersects(const PixelRect& a, const PixelRect& b);

// The device pixels under `source`, given in the points of a display whose top-left pixel is
// (originX, originY) and which has `scale` pixels per point. Edges are rounded to the nearest
// pixel each, so adjacent rectangles share their edge without a gap or an overlap.
PixelRect deviceRectFor(const CaptureRect& source, double scale, int originX, int originY);

// A display's frame in global points. Like Qt on X11, the top-left corner keeps its pixel
// position and only the size is divided by the scale.
CaptureRect displayFrameInPoints(int x, int y, int width, int height, double scale);

}  // namespace vantorel
