#include "color_window.h"

#include <cstdlib>
#include <stdexcept>

namespace vantorel::testing {

ColorWindow::ColorWindow(const std::string& displayName, int x, int y, int width, int height)
    : connection_(xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr)),
      window_(xcb_generate_id(connection_)),
      gc_(xcb_generate_id(connection_)),
      width_(width),
      height_(height) {
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw std::runtime_error("cannot connect to X display '" + displayName + "'");
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const uint32_t overrideRedirect = 1;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root,
                      static_cast<int16_t>(x), static_cast<int16_t>(y),
                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_OVERRIDE_REDIRECT,
                      &overrideRedirect);
    xcb_create_gc(connection_, gc_, window_, 0, nullptr);
    xcb_map_window(connection_, window_);
    sync();
}

ColorWindow::~ColorWindow() {
    xcb_destroy_window(connection_, window_);
    sync();
    xcb_disconnect(connection_);
}

void ColorWindow::fill(uint32_t rgb, int x, int y, int width, int height) {
    xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, &rgb);
    const xcb_rectangle_t r{static_cast<int16_t>(x), static_cast<int16_t>(y),
                            static_cast<uint16_t>(width < 0 ? width_ : width),
                            static_cast<uint16_t>(height < 0 ? height_ : height)};
    xcb_poly_fill_rectangle(connection_, window_, gc_, 1, &r);
    sync();
}

void ColorWindow::pointAt(int x, int y) {
    xcb_warp_pointer(connection_, XCB_WINDOW_NONE, window_, 0, 0, 0, 0, static_cast<int16_t>(x),
                     static_cast<int16_t>(y));
    sync();
}

void ColorWindow::sync() {
    // A round trip: everything asked for before it has been carried out.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace vantorel::testing
