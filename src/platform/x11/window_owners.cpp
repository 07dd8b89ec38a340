#include "platform/x11/window_owners.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <unordered_set>

#include "platform/x11/xcb_handles.h"

namespace vantorel {

namespace {

struct Atoms {
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t pid = XCB_ATOM_NONE;
    xcb_atom_t windowType = XCB_ATOM_NONE;
    xcb_atom_t typeDesktop = XCB_ATOM_NONE;
};

// Only looks atoms up: a name nobody interned yet is on no window either.
Atoms lookUpAtoms(xcb_connection_t* connection) {
    const char* names[] = {"_NET_CLIENT_LIST", "_NET_WM_PID", "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_DESKTOP"};
    xcb_intern_atom_cookie_t cookies[4];
    for (size_t i = 0; i < 4; ++i) {
        cookies[i] =
            xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    }
    xcb_atom_t values[4] = {XCB_ATOM_NONE, XCB_ATOM_NONE, XCB_ATOM_NONE, XCB_ATOM_NONE};
    for (size_t i = 0; i < 4; ++i) {
        auto reply = takeReply(xcb_intern_atom_reply(connection, cookies[i], nullptr));
        values[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    return Atoms{values[0], values[1], values[2], values[3]};
}

std::vector<xcb_window_t> candidateWindows(xcb_connection_t* connection, xcb_window_t root,
                                           const Atoms& atoms) {
    std::vector<xcb_window_t> windows;
    auto tree =
        takeReply(xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        windows.assign(children, children + xcb_query_tree_children_length(tree.get()));
    }
    if (atoms.clientList != XCB_ATOM_NONE) {
        auto list = takeReply(xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, root, atoms.clientList, XCB_ATOM_WINDOW, 0, 4096),
            nullptr));
        if (list && list->format == 32) {
            const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
            const int count = xcb_get_property_value_length(list.get()) / 4;
            std::unordered_set<xcb_window_t> seen(windows.begin(), windows.end());
            for (int i = 0; i < count; ++i) {
                if (seen.insert(ids[i]).second) {
                    windows.push_back(ids[i]);
                }
            }
        }
    }
    return windows;
}

struct WindowCookies {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_property_cookie_t pid;
    xcb_get_property_cookie_t wmClass;
    xcb_get_property_cookie_t type;
};

WindowCookies askAbout(xcb_connection_t* connection, xcb_window_t window, const Atoms& atoms) {
    return WindowCookies{
        xcb_get_window_attributes(connection, window),
        xcb_get_property(connection, 0, window, atoms.pid, XCB_ATOM_CARDINAL, 0, 1),
        xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        xcb_get_property(connection, 0, window, atoms.windowType, XCB_ATOM_ATOM, 0, 32),
    };
}

std::string classOf(const xcb_get_property_reply_t* reply) {
    if (reply == nullptr || reply->format != 8) {
        return {};
    }
    const auto* text = static_cast<const char*>(xcb_get_property_value(reply));
    const auto length = static_cast<size_t>(xcb_get_property_value_length(reply));
    // WM_CLASS is "instance\0class\0".
    const size_t instanceEnd = std::string(text, length).find('\0');
    if (instanceEnd == std::string::npos || instanceEnd + 1 >= length) {
        return {};
    }
    std::string className(text + instanceEnd + 1, length - instanceEnd - 1);
    className.erase(std::find(className.begin(), className.end(), '\0'), className.end());
    return className;
}

bool isDesktopWindow(const xcb_get_property_reply_t* reply, const Atoms& atoms) {
    if (reply == nullptr || reply->format != 32 || atoms.typeDesktop == XCB_ATOM_NONE) {
        return false;
    }
    const auto* types = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / 4;
    return std::find(types, types + count, atoms.typeDesktop) != types + count;
}

std::string commandNameOf(int64_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

std::vector<OwnedWindow> queryOwnedWindows(xcb_connection_t* connection, xcb_window_t root,
                                           bool excludingDesktopWindows, bool onScreenWindowsOnly) {
    std::vector<OwnedWindow> owned;
    const Atoms atoms = lookUpAtoms(connection);
    if (atoms.pid == XCB_ATOM_NONE) {
        return owned;
    }
    const std::vector<xcb_window_t> windows = candidateWindows(connection, root, atoms);
    // Ask about every window before reading any answer: one round trip instead of one each.
    std::vector<WindowCookies> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t window : windows) {
        cookies.push_back(askAbout(connection, window, atoms));
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        auto attributes =
            takeReply(xcb_get_window_attributes_reply(connection, cookies[i].attributes, nullptr));
        auto pid = takeReply(xcb_get_property_reply(connection, cookies[i].pid, nullptr));
        auto wmClass = takeReply(xcb_get_property_reply(connection, cookies[i].wmClass, nullptr));
        auto type = takeReply(xcb_get_property_reply(connection, cookies[i].type, nullptr));
        if (!attributes || !pid || pid->format != 32 ||
            xcb_get_property_value_length(pid.get()) < 4) {
            continue;  // gone meanwhile, or no owner named
        }
        if (onScreenWindowsOnly && attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
            continue;
        }
        if (excludingDesktopWindows && isDesktopWindow(type.get(), atoms)) {
            continue;
        }
        OwnedWindow window;
        window.window = windows[i];
        window.processID = *static_cast<const uint32_t*>(xcb_get_property_value(pid.get()));
        window.className = classOf(wmClass.get());
        owned.push_back(std::move(window));
    }
    return owned;
}

std::vector<RunningApplication> applicationsOf(const std::vector<OwnedWindow>& windows) {
    std::vector<RunningApplication> applications;
    std::unordered_set<int64_t> seen;
    for (const OwnedWindow& window : windows) {
        if (!seen.insert(window.processID).second) {
            continue;
        }
        std::string name = window.className;
        if (name.empty()) {
            name = commandNameOf(window.processID);
        }
        applications.push_back(RunningApplication{window.processID, std::move(name)});
    }
    return applications;
}

std::vector<CaptureWindow> captureWindowsOf(const std::vector<OwnedWindow>& windows) {
    std::vector<CaptureWindow> result;
    result.reserve(windows.size());
    for (const OwnedWindow& window : windows) {
        result.push_back(CaptureWindow{window.window, window.processID});
    }
    return result;
}

}  // namespace vantorel
