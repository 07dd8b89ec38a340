#include "platform/x11/pixel_rect.h"

#include <algorithm>

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

}  // namespace vantorel
