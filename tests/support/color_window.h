#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>

namespace vantorel::testing {

// A drawing client on a connection of its own: an override-redirect window (no window manager
// moves or decorates it) at an exact root rectangle. Every call returns once the server has
// carried it out.
class ColorWindow {
  public:
    // `displayName` empty: $DISPLAY.
    ColorWindow(const std::string& displayName, int x, int y, int width, int height);
    ~ColorWindow();

    ColorWindow(const ColorWindow&) = delete;
    ColorWindow& operator=(const ColorWindow&) = delete;

    // 0xRRGGBB over this rectangle of the window, or over all of it.
    void fill(uint32_t rgb, int x = 0, int y = 0, int width = -1, int height = -1);
    // Moves the pointer to (x, y) of the window.
    void pointAt(int x, int y);

  private:
    void sync();

    xcb_connection_t* connection_;
    xcb_window_t window_;
    xcb_gcontext_t gc_;
    int width_;
    int height_;
};

}  // namespace vantorel::testing
