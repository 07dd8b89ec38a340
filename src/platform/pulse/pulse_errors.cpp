#include "platform/pulse/pulse_errors.h"

#include <pulse/def.h>
#include <pulse/error.h>

namespace vantorel {
namespace {

ErrorRef make(int code, const std::string& sentence) {
    // pa_strerror answers null for codes it does not know.
    const char* reason = pa_strerror(code);
    return PlatformError::make(
        kPulseErrorDomain, code,
        sentence + " (" + (reason != nullptr ? reason : "unknown error") + ").");
}

}  // namespace

ErrorRef pulseUnreachableError(int code) {
    return make(code, "No sound server could be reached");
}

ErrorRef pulseRecordingRefusedError(int code) {
    return make(code, "The sound server would not record the system sound");
}

ErrorRef pulseLostError(int code) {
    return make(code, "The connection to the sound server was lost");
}

ErrorRef pulseSetupError(const std::string& what) {
    return make(PA_ERR_INTERNAL, "The sound recording could not be set up: " + what);
}

}  // namespace vantorel
