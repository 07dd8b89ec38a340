#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/capture_service.h"
#include "platform/x11/x11_capture_service.h"
#include "stream_probe.h"

namespace vantorel::testing {

// Waits for the service's answer to a shareable-content query.
struct ContentAnswer {
    std::optional<ShareableContent> content;
    ErrorRef error;
};
ContentAnswer queryContent(CaptureService& service, bool onScreenWindowsOnly = true);

// The display number of a monitor, looked up on a connection of the test's own.
std::optional<uint32_t> monitorId(const std::string& displayName, const std::string& monitor);

ContentFilterRef filterFor(uint32_t displayID, double scale = 1.0);
StreamConfiguration configurationFor(const CaptureRect& sourceRect, int width, int height,
                                     bool showsCursor = false);

// True when DISPLAY names a server with the two monitors of the headless session.
bool headlessSessionPresent();

}  // namespace vantorel::testing
