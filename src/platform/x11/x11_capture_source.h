#pragma once

#include <string>

#include "capture/capture_source.h"

namespace vantorel {

struct X11CaptureOptions {
    std::string displayName;  // empty: $DISPLAY
    std::string soundServer;  // a libpulse server string; empty: the environment's
};

// Sources that grab a RandR monitor's region of an X server through MIT-SHM, and record the
// system's sound through PulseAudio when asked for. Each capture opens its own connections.
CaptureSourceFactory makeX11CaptureSourceFactory(X11CaptureOptions options = {});

}  // namespace vantorel
