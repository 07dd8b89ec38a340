#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/capture_service.h"

namespace vantorel {

// A top-level window that names the process owning it (_NET_WM_PID).
struct OwnedWindow {
    xcb_window_t window = XCB_WINDOW_NONE;
    int64_t processID = 0;
    std::string className;  // the class half of WM_CLASS, may be empty
};

// Top-level windows that carry _NET_WM_PID: the window manager's client list plus the direct
// children of the root (override-redirect windows, and every window when no manager runs).
// Called on the thread that uses `connection`.
std::vector<OwnedWindow> queryOwnedWindows(xcb_connection_t* connection, xcb_window_t root,
                                           bool excludingDesktopWindows, bool onScreenWindowsOnly);

// One application per distinct process, in the order of its first window. The name is the
// window class, else the process's command name.
std::vector<RunningApplication> applicationsOf(const std::vector<OwnedWindow>& windows);

std::vector<CaptureWindow> captureWindowsOf(const std::vector<OwnedWindow>& windows);

}  // namespace vantorel
