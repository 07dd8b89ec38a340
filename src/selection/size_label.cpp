#include "selection/size_label.h"

#include <algorithm>

namespace vantorel {

QString sizeLabelText(int64_t pixelWidth, int64_t pixelHeight) {
    return QStringLiteral("%1 \u00d7 %2").arg(pixelWidth).arg(pixelHeight);
}

QRectF sizeLabelBox(const QRectF& selection, const QRectF& bounds, const QSizeF& textSize) {
    const double width = textSize.width() + 2.0 * kLabelPaddingX;
    const double height = textSize.height() + 2.0 * kLabelPaddingY;
    double x = selection.center().x() - width * 0.5;
    double y = selection.bottom() + 10.0;
    if (bounds.bottom() - 4.0 < y + height) {
        y = std::max(selection.top() + 6.0, selection.bottom() - height - 10.0);
    }
    x = std::max(x, bounds.left() + 4.0);
    x = std::min(x, bounds.right() - width - 4.0);
    return {x, y, width, height};
}

}  // namespace vantorel
