#pragma once

#include <QFont>

namespace vantorel {

// The system font at `pixelSize` logical pixels and `weight`, in a rounded face when one is
// installed. The sizes of the region-selection look are in points of the overlay, which are
// Qt's device-independent pixels, hence pixel sizes rather than typographic points.
QFont roundedFont(int pixelSize, QFont::Weight weight);

// The plain system font at `pixelSize` logical pixels and `weight`.
QFont systemFont(int pixelSize, QFont::Weight weight);

}  // namespace vantorel
