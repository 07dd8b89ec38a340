#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/x11/pixel_rect.h"

namespace vantorel {

// The pointer's picture as XFixes gives it: premultiplied ARGB, one uint32 per pixel.
struct CursorImage {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<uint32_t> pixels;
};

// Where the cursor's picture lies on the root window when the pointer is at (x, y).
PixelRect cursorRectAt(const CursorImage& image, int x, int y);

// Draws `image` with the pointer at root (x, y) over `frame`, the packed B,G,R,X pixels of the
// root rectangle `frameRect`. Parts outside the frame are cut off.
void blendCursor(const CursorImage& image, int x, int y, const PixelRect& frameRect,
                 uint8_t* frame);

// Follows the pointer's position and picture for one connection. The picture is fetched again
// only after XFixes said it changed. Used on the capture thread.
class CursorTracker {
  public:
    CursorTracker(xcb_connection_t* connection, xcb_window_t root);

    // Asks XFixes to report picture changes; call once after XFixes was initialised.
    void selectShapeEvents();
    // An XFixes cursor notify arrived.
    void shapeChanged() { imageStale_ = true; }
    // Reads the pointer and, if needed, the picture. True when what the cursor covers inside
    // `region` changed since the last call (moved in, out or within it, or changed its shape).
    bool refresh(const PixelRect& region);
    // Draws the cursor into a grabbed frame, if it has a picture.
    void drawInto(const PixelRect& frameRect, uint8_t* frame) const;

  private:
    bool fetchImage();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::optional<CursorImage> image_;
    bool imageStale_ = true;
    int x_ = 0;
    int y_ = 0;
    bool known_ = false;
};

}  // namespace vantorel
