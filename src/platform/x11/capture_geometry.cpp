#include "platform/x11/capture_geometry.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

PixelRect intersection(const PixelRect& a, const PixelRect& b) {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.right(), b.right());
    const int bottom = std::min(a.bottom(), b.bottom());
    if (right <= left || bottom <= top) {
        return PixelRect{};
    }
    return PixelRect{left, top, right - left, bottom - top};
}

bool intersects(const PixelRect& a, const PixelRect& b) {
    return !intersection(a, b).isEmpty();
}

PixelRect deviceRectFor(const CaptureRect& source, double scale, int originX, int originY) {
    const auto edge = [scale](double points, int origin) {
        return origin + static_cast<int>(std::lround(points * scale));
    };
    const int left = edge(source.x, originX);
    const int top = edge(source.y, originY);
    const int right = edge(source.x + source.width, originX);
    const int bottom = edge(source.y + source.height, originY);
    return PixelRect{left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

CaptureRect displayFrameInPoints(int x, int y, int width, int height, double scale) {
    const double s = scale > 0 ? scale : 1.0;
    return CaptureRect{static_cast<double>(x), static_cast<double>(y), width / s, height / s};
}

}  // namespace vantorel
