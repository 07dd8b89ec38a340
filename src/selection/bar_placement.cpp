#include "selection/bar_placement.h"

#include <algorithm>

namespace vantorel {

namespace {

constexpr double kGap = 12.0;
constexpr double kScreenMargin = 4.0;
// Below the selection the size label comes first; the bar keeps clear of it.
constexpr double kLabelRoom = 72.0;

}  // namespace

QPointF barOrigin(const QRectF& frame, const QRectF& visible, const QRectF& selection,
                  const QSizeF& bar) {
    const double top = frame.top() + selection.top();
    const double bottom = frame.top() + selection.bottom();
    double y = top - kGap - bar.height();
    if (y < visible.top() + kScreenMargin) {
        y = bottom + kGap + kLabelRoom;
        if (y + bar.height() > visible.bottom() - kScreenMargin) {
            y = std::max(visible.top(), top) + kGap;
        }
    }
    double x = frame.left() + selection.center().x() - bar.width() * 0.5;
    x = std::max(x, frame.left() + kScreenMargin);
    x = std::min(x, frame.right() - bar.width() - kScreenMargin);
    return {x, y};
}

}  // namespace vantorel
