#pragma once

#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/x11/pixel_rect.h"

namespace vantorel {

// One RandR monitor: the atom of its name, and where it lies on the root window.
struct RandrMonitor {
    xcb_atom_t name = XCB_ATOM_NONE;
    PixelRect rect;
};

// The atom of a monitor's name (as Qt's QScreen::name() gives it on X11). Only looked up, never
// created: an unknown name yields nothing. On the connection's thread.
std::optional<xcb_atom_t> monitorNameAtom(xcb_connection_t* connection, const std::string& name);

// The active monitors of the screen of `root`; empty when the request fails. On the
// connection's thread.
std::vector<RandrMonitor> queryMonitors(xcb_connection_t* connection, xcb_window_t root);

// True when the server offers RandR 1.5 or later (monitors). On the connection's thread.
bool hasRandrMonitors(xcb_connection_t* connection);

}  // namespace vantorel
