#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <cstdint>

namespace vantorel {

// The pixel size shown on the selection: "1920 × 1080", without digit grouping.
QString sizeLabelText(int64_t pixelWidth, int64_t pixelHeight);

// Space around the label text inside its box: left and right, above and below.
inline constexpr double kLabelPaddingX = 16.0;
inline constexpr double kLabelPaddingY = 8.0;

// The label box for text of `textSize`: 10 logical pixels under the selection, or inside it near
// its bottom when the screen ends first (never closer than 6 logical pixels to its top edge);
// centred on it and kept 4 logical pixels inside the screen horizontally. All in overlay
// coordinates.
QRectF sizeLabelBox(const QRectF& selection, const QRectF& bounds, const QSizeF& textSize);

}  // namespace vantorel
