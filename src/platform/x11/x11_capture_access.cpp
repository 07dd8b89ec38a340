#include "platform/x11/x11_capture_access.h"

#include "platform/x11/capture_session.h"

namespace vantorel {

bool canCaptureDisplay(const std::string& displayName) {
    return CaptureSession::probe(displayName) == nullptr;
}

}  // namespace vantorel
