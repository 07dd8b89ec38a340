#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace vantorel {

// The domain of every error the X11 capture service reports itself.
inline constexpr const char* kX11CaptureErrorDomain = "X11CaptureService";

enum class X11CaptureErrorCode : int64_t {
    cannotConnect = 1,      // no X server at the display name
    connectionLost = 2,     // the server went away or closed the connection
    missingExtension = 3,   // MIT-SHM, DAMAGE, XFIXES or RandR 1.5 is not offered
    displayGone = 4,        // the captured RandR monitor no longer exists
    unsupportedFormat = 5,  // the root window is not 24/32-bit true colour
    emptyRegion = 6,        // the source rectangle lies outside the screen or has no pixels
    grabFailed = 7,         // the server refused to hand out the pixels
    invalidState = 8,       // start or stop called at the wrong time
    noAudioSource = 9,      // sound was asked for but no source can be made
};

ErrorRef makeX11CaptureError(X11CaptureErrorCode code, std::string message);

}  // namespace vantorel
