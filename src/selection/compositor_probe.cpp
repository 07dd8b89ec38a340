#include "selection/compositor_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace vantorel {

namespace {

struct ConnectionDeleter {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

struct FreeDeleter {
    void operator()(void* reply) const { std::free(reply); }
};

template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

}  // namespace

bool compositorRunning() {
    // Through XWayland the Wayland compositor blends every window, while no X client owns the
    // selection below; and a snapshot of XWayland's root would show only its own windows.
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
        return true;
    }
    // A connection of our own: the question is asked once per overlay, and it keeps the probe
    // usable before and without a QGuiApplication.
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection(
        xcb_connect(nullptr, &screen));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        return false;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection.get(),
        xcb_intern_atom(connection.get(), 1, static_cast<uint16_t>(name.size()), name.c_str()),
        nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE) {
        return false;
    }
    const Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection.get(), xcb_get_selection_owner(connection.get(), atom->atom), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace vantorel
