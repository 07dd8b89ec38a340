#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantorel {

// One RandR monitor, in device pixels of the root window.
struct RandrMonitor {
    uint32_t nameAtom = 0;  // also the display number the application finds for its screen
    std::string name;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool primary = false;
};

// The active monitors of the screen of `root`, in the server's order; empty when RandR 1.5 is
// missing or the request fails. Names cost one more round trip and can be left out.
// Called on the thread that uses `connection`.
std::vector<RandrMonitor> queryMonitors(xcb_connection_t* connection, xcb_window_t root,
                                        bool withNames = true);

// The monitor whose name atom is `nameAtom`, if present.
std::optional<RandrMonitor> findMonitor(const std::vector<RandrMonitor>& monitors,
                                        uint32_t nameAtom);

// The display number of the monitor named `monitorName` (a QScreen's name on X11): the atom of
// that name. The atom is only looked up, never created, so an unknown name yields nothing.
std::optional<uint32_t> displayIdForMonitorName(xcb_connection_t* connection,
                                                const std::string& monitorName);

// True when the server offers RandR 1.5 or later (monitors). Called on the connection's thread.
bool hasRandrMonitors(xcb_connection_t* connection);

}  // namespace vantorel
