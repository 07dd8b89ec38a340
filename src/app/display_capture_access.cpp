#include "app/display_capture_access.h"

#include <QGuiApplication>

namespace vantorel {

bool DisplayCaptureAccess::preflight() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr && x11->connection() != nullptr;
}

}  // namespace vantorel
