#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace vantorel {

// Ownership of the things libxcb hands out: connections are disconnected, replies and events
// (malloc'd by libxcb) are freed.
struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnectionPtr = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;
using XcbEvent = XcbReply<xcb_generic_event_t>;
using XcbErrorPtr = XcbReply<xcb_generic_error_t>;

// Wraps a reply function's result: `reply(xcb_foo_reply(c, cookie, &error))`.
template <typename T>
XcbReply<T> takeReply(T* reply) {
    return XcbReply<T>(reply);
}

}  // namespace vantorel
