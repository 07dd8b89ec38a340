#pragma once

#include <string>

#include "platform/error.h"

namespace vantorel {

// Errors of the sound server, in the "PulseAudio" domain with libpulse's error codes.
inline constexpr const char* kPulseErrorDomain = "PulseAudio";

// No server answered at the start.
ErrorRef pulseUnreachableError(int code);
// The server answered, but would not record its output's monitor.
ErrorRef pulseRecordingRefusedError(int code);
// The server or the stream went away while sound was being recorded.
ErrorRef pulseLostError(int code);
// Something on our side failed, such as starting the main loop.
ErrorRef pulseSetupError(const std::string& what);

}  // namespace vantorel
