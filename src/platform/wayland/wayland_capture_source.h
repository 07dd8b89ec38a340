#pragma once

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "capture/capture_source.h"
#include "platform/wayland/monitor_mapping.h"

namespace vantorel {

struct WaylandCaptureOptions {
    QDBusConnection bus{QString()};  // where the desktop portal answers: the session bus
    // The monitors the program's windows are on, with the names a CaptureRequest uses.
    std::function<std::vector<DesktopMonitor>()> monitors;
    // The consent an earlier recording was given, and the one to keep for the next (empty: none
    // is kept, so the desktop asks again). Both on the main thread.
    std::function<QString()> restoreToken;
    std::function<void(const QString&)> keepRestoreToken;
    std::string soundServer;  // a libpulse server string; empty: the environment's
};

// Sources that record a monitor's region on a Wayland desktop: the desktop portal's ScreenCast
// session hands out a PipeWire stream of the monitor the desktop (or its dialog) chooses, which
// must be the one the region is on; the system's sound comes through the PulseAudio API, which
// PipeWire's pulse server provides. Made and started on the main thread, whose event loop
// carries the portal's answers.
CaptureSourceFactory makeWaylandCaptureSourceFactory(WaylandCaptureOptions options);

}  // namespace vantorel
