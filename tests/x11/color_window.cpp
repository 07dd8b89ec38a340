#include "color_window.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace vantorel::testing {

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    auto reply = takeReply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void roundTrip(xcb_connection_t* c) {
    takeReply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

xcb_connection_t* connectTo(const std::string& displayName) {
    xcb_connection_t* c = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        throw std::runtime_error("cannot connect to X display '" + displayName + "'");
    }
    return c;
}

}  // namespace

ColorWindow::ColorWindow(const std::string& displayName, const PixelRect& rect, int64_t ownerPid,
                         bool mapped)
    : connection_(connectTo(displayName)), rect_(rect) {
    xcb_connection_t* c = connection_.get();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    window_ = xcb_generate_id(c);
    const uint32_t values[] = {1};  // override-redirect
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen->root, static_cast<int16_t>(rect.x),
                      static_cast<int16_t>(rect.y), static_cast<uint16_t>(rect.width),
                      static_cast<uint16_t>(rect.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_OVERRIDE_REDIRECT, values);
    if (ownerPid != 0) {
        const auto pid = static_cast<uint32_t>(ownerPid);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, internAtom(c, "_NET_WM_PID"),
                            XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    const char wmClass[] = "colorwindow\0ColorWindow";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof(wmClass), wmClass);
    gc_ = xcb_generate_id(c);
    xcb_create_gc(c, gc_, window_, 0, nullptr);
    if (mapped) {
        xcb_map_window(c, window_);
    }
    sync();
}

ColorWindow::~ColorWindow() {
    xcb_connection_t* c = connection_.get();
    xcb_free_gc(c, gc_);
    xcb_destroy_window(c, window_);
    sync();
}

void ColorWindow::fill(uint32_t rgb) {
    fillLocal(PixelRect{0, 0, rect_.width, rect_.height}, rgb);
    sync();
}

void ColorWindow::quadrants(uint32_t topLeft, uint32_t topRight, uint32_t bottomLeft,
                            uint32_t bottomRight) {
    const int w = rect_.width / 2;
    const int h = rect_.height / 2;
    fillLocal(PixelRect{0, 0, w, h}, topLeft);
    fillLocal(PixelRect{w, 0, rect_.width - w, h}, topRight);
    fillLocal(PixelRect{0, h, w, rect_.height - h}, bottomLeft);
    fillLocal(PixelRect{w, h, rect_.width - w, rect_.height - h}, bottomRight);
    sync();
}

void ColorWindow::noise(uint32_t seed) {
    xcb_connection_t* c = connection_.get();
    const uint8_t depth = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root_depth;
    // Strips small enough for a request of the core protocol.
    const int rowBytes = rect_.width * 4;
    const int rowsPerStrip = std::max(1, 200'000 / std::max(rowBytes, 1));
    std::vector<uint8_t> strip(static_cast<size_t>(rowBytes) * rowsPerStrip);
    uint32_t state = (seed * 2654435761u) | 1u;  // never zero, which xorshift keeps
    for (int top = 0; top < rect_.height; top += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, rect_.height - top);
        for (size_t i = 0; i < static_cast<size_t>(rowBytes) * rows; i += 4) {
            // xorshift32: cheap, and different enough from frame to frame.
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            std::memcpy(&strip[i], &state, 4);
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_,
                      static_cast<uint16_t>(rect_.width), static_cast<uint16_t>(rows), 0,
                      static_cast<int16_t>(top), 0, depth,
                      static_cast<uint32_t>(rowBytes) * static_cast<uint32_t>(rows), strip.data());
    }
    sync();
}

void ColorWindow::fillLocal(const PixelRect& local, uint32_t rgb) {
    xcb_connection_t* c = connection_.get();
    xcb_change_gc(c, gc_, XCB_GC_FOREGROUND, &rgb);
    const xcb_rectangle_t r{static_cast<int16_t>(local.x), static_cast<int16_t>(local.y),
                            static_cast<uint16_t>(local.width),
                            static_cast<uint16_t>(local.height)};
    xcb_poly_fill_rectangle(c, window_, gc_, 1, &r);
}

void ColorWindow::sync() {
    roundTrip(connection_.get());
}

void warpPointer(const std::string& displayName, int x, int y) {
    XcbConnectionPtr connection(connectTo(displayName));
    xcb_connection_t* c = connection.get();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_warp_pointer(c, XCB_WINDOW_NONE, screen->root, 0, 0, 0, 0, static_cast<int16_t>(x),
                     static_cast<int16_t>(y));
    roundTrip(c);
}

}  // namespace vantorel::testing
