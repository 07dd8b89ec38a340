#include "platform/x11/x11_errors.h"

namespace vantorel {

ErrorRef makeX11CaptureError(X11CaptureErrorCode code, std::string message) {
    return PlatformError::make(kX11CaptureErrorDomain, static_cast<int64_t>(code),
                               std::move(message));
}

}  // namespace vantorel
