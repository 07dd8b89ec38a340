#include "platform/x11/randr_monitors.h"

#include <xcb/randr.h>

#include "platform/x11/xcb_handles.h"

namespace vantorel {

bool hasRandrMonitors(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, &xcb_randr_id);
    if (extension == nullptr || extension->present == 0) {
        return false;
    }
    auto version = takeReply(xcb_randr_query_version_reply(
        connection, xcb_randr_query_version(connection, 1, 5), nullptr));
    return version && (version->major_version > 1 ||
                       (version->major_version == 1 && version->minor_version >= 5));
}

std::vector<RandrMonitor> queryMonitors(xcb_connection_t* connection, xcb_window_t root) {
    std::vector<RandrMonitor> monitors;
    auto reply = takeReply(xcb_randr_get_monitors_reply(
        connection, xcb_randr_get_monitors(connection, root, 1), nullptr));
    if (!reply) {
        return monitors;
    }
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        monitors.push_back(RandrMonitor{
            it.data->name, PixelRect{it.data->x, it.data->y, it.data->width, it.data->height}});
    }
    return monitors;
}

std::optional<xcb_atom_t> monitorNameAtom(xcb_connection_t* connection, const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    auto reply = takeReply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.data()),
        nullptr));
    if (!reply || reply->atom == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    return reply->atom;
}

}  // namespace vantorel
