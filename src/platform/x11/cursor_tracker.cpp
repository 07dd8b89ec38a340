#include "platform/x11/cursor_tracker.h"

#include <xcb/xfixes.h>

#include <algorithm>

#include "platform/x11/xcb_handles.h"

namespace vantorel {

PixelRect cursorRectAt(const CursorImage& image, int x, int y) {
    return PixelRect{x - image.hotX, y - image.hotY, image.width, image.height};
}

void blendCursor(const CursorImage& image, int x, int y, const PixelRect& frameRect,
                 uint8_t* frame) {
    const PixelRect cursor = cursorRectAt(image, x, y);
    const PixelRect overlap = intersection(cursor, frameRect);
    for (int row = overlap.y; row < overlap.bottom(); ++row) {
        const uint32_t* src = image.pixels.data() +
                              static_cast<size_t>(row - cursor.y) * image.width +
                              (overlap.x - cursor.x);
        uint8_t* dst = frame + (static_cast<size_t>(row - frameRect.y) * frameRect.width +
                                (overlap.x - frameRect.x)) *
                                   4;
        for (int column = 0; column < overlap.width; ++column, ++src, dst += 4) {
            const uint32_t alpha = *src >> 24;
            const uint32_t keep = 255 - alpha;
            // Premultiplied: the colour channels already carry the alpha.
            for (int channel = 0; channel < 3; ++channel) {
                const uint32_t colour = (*src >> (8 * channel)) & 0xFF;
                const uint32_t mixed = colour + (dst[channel] * keep + 127) / 255;
                dst[channel] = static_cast<uint8_t>(std::min<uint32_t>(mixed, 255));
            }
        }
    }
}

CursorTracker::CursorTracker(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root) {}

void CursorTracker::selectShapeEvents() {
    xcb_xfixes_select_cursor_input(connection_, root_,
                                   XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR);
}

bool CursorTracker::fetchImage() {
    auto reply = takeReply(xcb_xfixes_get_cursor_image_reply(
        connection_, xcb_xfixes_get_cursor_image(connection_), nullptr));
    if (!reply) {
        return false;
    }
    CursorImage image;
    image.width = reply->width;
    image.height = reply->height;
    image.hotX = reply->xhot;
    image.hotY = reply->yhot;
    const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    image.pixels.assign(pixels,
                        pixels + xcb_xfixes_get_cursor_image_cursor_image_length(reply.get()));
    if (image.pixels.size() < static_cast<size_t>(image.width) * image.height) {
        return false;
    }
    image_ = std::move(image);
    imageStale_ = false;
    return true;
}

bool CursorTracker::refresh(const PixelRect& region) {
    auto pointer = takeReply(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr));
    if (!pointer) {
        return false;
    }
    const std::optional<PixelRect> before =
        (known_ && image_) ? std::optional(cursorRectAt(*image_, x_, y_)) : std::nullopt;
    const bool moved = !known_ || pointer->root_x != x_ || pointer->root_y != y_;
    x_ = pointer->root_x;
    y_ = pointer->root_y;
    known_ = true;
    const bool reshaped = imageStale_ && fetchImage();
    if (!moved && !reshaped) {
        return false;
    }
    const bool wasInside = before && intersects(*before, region);
    const bool isInside = image_ && intersects(cursorRectAt(*image_, x_, y_), region);
    return wasInside || isInside;
}

void CursorTracker::drawInto(const PixelRect& frameRect, uint8_t* frame) const {
    if (image_ && known_) {
        blendCursor(*image_, x_, y_, frameRect, frame);
    }
}

}  // namespace vantorel
