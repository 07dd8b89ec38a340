#pragma once

#include <QFont>
#include <QPaintDevice>

namespace vantorel {

// The system font at `pixelSize` logical pixels and `weight`, in a rounded face when one is
// installed. The sizes of the region-selection look are in the overlay's logical pixels, hence
// pixel sizes rather than typographic points.
QFont roundedFont(int pixelSize, QFont::Weight weight);

// The plain system font at `pixelSize` logical pixels and `weight`.
QFont systemFont(int pixelSize, QFont::Weight weight);

// The same font at a size of a fraction of a pixel, for painting on `device`. Pixel sizes are
// whole numbers in Qt, so the size goes in as typographic points at the device's resolution.
QFont withPixelSize(QFont font, double pixelSize, const QPaintDevice& device);

}  // namespace vantorel
