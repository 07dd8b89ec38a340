#pragma once

#include "app/flow_parts.h"

namespace vantorel {

// X11 asks no permission to read the screen: capture is allowed whenever the display can be
// read, and there is no settings page to open.
class DisplayCaptureAccess final : public ScreenCaptureAccess {
  public:
    bool preflight() override;
    void request() override {}
    bool openSettings() override { return false; }
};

}  // namespace vantorel
