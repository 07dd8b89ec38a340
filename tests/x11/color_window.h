#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>

#include "platform/x11/capture_geometry.h"
#include "platform/x11/xcb_handles.h"

namespace vantorel::testing {

// A test client on its own connection: one override-redirect window (so no window manager
// moves or decorates it) at an exact root rectangle, filled with known colours. Every drawing
// call returns only after the server has carried it out.
class ColorWindow {
  public:
    // `ownerPid` goes into _NET_WM_PID (0: none).
    ColorWindow(const std::string& displayName, const PixelRect& rect, int64_t ownerPid,
                bool mapped = true);
    ~ColorWindow();

    ColorWindow(const ColorWindow&) = delete;
    ColorWindow& operator=(const ColorWindow&) = delete;

    // 0xRRGGBB over the whole window.
    void fill(uint32_t rgb);
    // Four colours, split at the middle of each side (the left and top halves get the
    // smaller share of an odd size).
    void quadrants(uint32_t topLeft, uint32_t topRight, uint32_t bottomLeft, uint32_t bottomRight);
    // Pseudo-random pixels over the whole window, different for every seed: content that no
    // encoder can squeeze much.
    void noise(uint32_t seed);

    xcb_window_t id() const { return window_; }
    const PixelRect& rect() const { return rect_; }

  private:
    void fillLocal(const PixelRect& local, uint32_t rgb);
    void sync();

    XcbConnectionPtr connection_;
    PixelRect rect_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_gcontext_t gc_ = 0;
};

// Moves the pointer to root (x, y) and waits until the server has done it.
void warpPointer(const std::string& displayName, int x, int y);

}  // namespace vantorel::testing
