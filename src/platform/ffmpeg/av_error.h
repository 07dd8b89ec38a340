#pragma once

#include <QString>

#include "platform/error.h"

namespace vantorel {

// The system's own words for an FFmpeg return code: strerror's text for system errors
// (AVERROR(errno)), so that "No space left on device" reaches the user as such, and
// av_strerror's text for FFmpeg's own codes.
QString avMessage(int code);

// The file could not be created, or its encoders or header could not be set up.
Error creationError(int code);
// Writing the file failed after it was set up.
Error writingError(int code);

}  // namespace vantorel
