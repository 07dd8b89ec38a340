#pragma once

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

}  // namespace vantorel
