#include "platform/x11/randr_monitors.h"

#include <xcb/randr.h>

#include <algorithm>

#include "platform/x11/xcb_handles.h"

namespace vantorel {

namespace {

// Asks for every name before reading any answer: one round trip for all monitors.
void fillNames(xcb_connection_t* connection, std::vector<RandrMonitor>& monitors) {
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    cookies.reserve(monitors.size());
    for (const RandrMonitor& monitor : monitors) {
        cookies.push_back(xcb_get_atom_name(connection, monitor.nameAtom));
    }
    for (size_t i = 0; i < monitors.size(); ++i) {
        auto reply = takeReply(xcb_get_atom_name_reply(connection, cookies[i], nullptr));
        if (reply) {
            monitors[i].name.assign(
                xcb_get_atom_name_name(reply.get()),
                static_cast<size_t>(xcb_get_atom_name_name_length(reply.get())));
        }
    }
}

}  // namespace

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

std::vector<RandrMonitor> queryMonitors(xcb_connection_t* connection, xcb_window_t root,
                                        bool withNames) {
    std::vector<RandrMonitor> monitors;
    auto reply = takeReply(xcb_randr_get_monitors_reply(
        connection, xcb_randr_get_monitors(connection, root, 1), nullptr));
    if (!reply) {
        return monitors;
    }
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        RandrMonitor monitor;
        monitor.nameAtom = it.data->name;
        monitor.x = it.data->x;
        monitor.y = it.data->y;
        monitor.width = it.data->width;
        monitor.height = it.data->height;
        monitor.primary = it.data->primary != 0;
        monitors.push_back(monitor);
    }
    if (withNames) {
        fillNames(connection, monitors);
    }
    return monitors;
}

std::optional<RandrMonitor> findMonitor(const std::vector<RandrMonitor>& monitors,
                                        uint32_t nameAtom) {
    auto it = std::find_if(monitors.begin(), monitors.end(),
                           [&](const RandrMonitor& m) { return m.nameAtom == nameAtom; });
    if (it == monitors.end()) {
        return std::nullopt;
    }
    return *it;
}

std::optional<uint32_t> displayIdForMonitorName(xcb_connection_t* connection,
                                                const std::string& monitorName) {
    if (connection == nullptr || monitorName.empty() || xcb_connection_has_error(connection)) {
        return std::nullopt;
    }
    auto reply = takeReply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(monitorName.size()),
                        monitorName.data()),
        nullptr));
    if (!reply || reply->atom == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    return reply->atom;
}

}  // namespace vantorel
