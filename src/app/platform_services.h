#pragma once

#include <memory>

#include "app/app_services.h"

namespace vantorel {

class PreferenceStore;
class ScreenScales;

// The real parts of a recording on X11: the capture service with system sound, the FFmpeg
// writer, the selection overlay and the indicators. Built once at start-up on the main thread;
// outlives the application controller.
class PlatformServices {
  public:
    PlatformServices();
    ~PlatformServices();

    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    // Fills the capture-side fields of `services`. `store` answers the overlay's last size.
    void install(AppServices& services, PreferenceStore& store);

  private:
    std::shared_ptr<ScreenScales> scales_;
    std::shared_ptr<CaptureService> captureService_;
};

}  // namespace vantorel
