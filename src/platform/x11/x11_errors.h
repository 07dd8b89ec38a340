#pragma once

#include <xcb/xcb.h>

#include <QString>

#include "platform/error.h"

namespace vantorel {

// The X server's and libxcb's own words for what went wrong, and the errors a capture reports
// with them.

// What xcb_connection_has_error's `code` means, e.g. "X connection lost".
QString xcbConnectionProblem(int code);
// The name of a protocol error with the request it answered, e.g. "BadAccess (ShmAttach)".
QString xcbErrorText(const xcb_generic_error_t& error, const char* request);

// The screen cannot be captured at all: no server, a missing extension, pixels we cannot read.
Error cannotCapture(Error::Kind kind, const QString& detail);
// The monitor of a starting capture does not exist.
Error monitorMissing(const QString& monitor);
// The monitor of a running capture went away.
Error monitorGone(const QString& monitor);
// The X server went away, or refused the pixels, while recording.
Error displayLost(const QString& detail);

}  // namespace vantorel
