#pragma once

#include <string>

#include "platform/error.h"

namespace vantorel {

// The error for an FFmpeg return code: system errors (AVERROR(errno)) keep the POSIX domain and
// the system's message, so that "No space left on device" reaches the user as such; FFmpeg's own
// codes get the "FFmpeg" domain with av_strerror's text.
ErrorRef errorFromAv(int code);

// An FFmpeg-domain error for a failure that has no return code of its own.
ErrorRef ffmpegError(const std::string& message);

}  // namespace vantorel
