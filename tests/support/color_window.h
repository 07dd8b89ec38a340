#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace vantorel::testing {

// A drawing client on a connection of its own: an override-redirect window (no window manager
// moves or decorates it) at an exact root rectangle. Every call returns once the server has
// carried it out.
class ColorWindow {
  public:
    // `displayName` empty: $DISPLAY.
    ColorWindow(const std::string& displayName, int x, int y, int width, int height)
        : c_(xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr)),
          window_(xcb_generate_id(c_)),
          gc_(xcb_generate_id(c_)),
          width_(width),
          height_(height) {
        if (xcb_connection_has_error(c_)) {
            xcb_disconnect(c_);
            throw std::runtime_error("cannot connect to X display '" + displayName + "'");
        }
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        const uint32_t overrideRedirect = 1;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, static_cast<int16_t>(x),
                          static_cast<int16_t>(y), static_cast<uint16_t>(width),
                          static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
        xcb_create_gc(c_, gc_, window_, 0, nullptr);
        xcb_map_window(c_, window_);
        sync();
    }
    ~ColorWindow() {
        xcb_destroy_window(c_, window_);
        sync();
        xcb_disconnect(c_);
    }
    ColorWindow(const ColorWindow&) = delete;
    ColorWindow& operator=(const ColorWindow&) = delete;

    // 0xRRGGBB over this rectangle of the window, or over all of it.
    void fill(uint32_t rgb, int x = 0, int y = 0, int width = -1, int height = -1) {
        xcb_change_gc(c_, gc_, XCB_GC_FOREGROUND, &rgb);
        const xcb_rectangle_t r{static_cast<int16_t>(x), static_cast<int16_t>(y),
                                static_cast<uint16_t>(width < 0 ? width_ : width),
                                static_cast<uint16_t>(height < 0 ? height_ : height)};
        xcb_poly_fill_rectangle(c_, window_, gc_, 1, &r);
        sync();
    }
    // Moves the pointer to (x, y) of the window.
    void pointAt(int x, int y) {
        xcb_warp_pointer(c_, XCB_WINDOW_NONE, window_, 0, 0, 0, 0, static_cast<int16_t>(x),
                         static_cast<int16_t>(y));
        sync();
    }

  private:
    // A round trip: everything asked for before it has been carried out.
    void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    xcb_window_t window_;
    xcb_gcontext_t gc_;
    int width_;
    int height_;
};

}  // namespace vantorel::testing
