#include "session_fixture.h"

#include <cstdlib>
#include <future>
#include <stdexcept>

#include "platform/x11/randr_monitors.h"
#include "platform/x11/xcb_handles.h"

namespace vantorel::testing {

ContentAnswer queryContent(CaptureService& service, bool onScreenWindowsOnly) {
    auto promise = std::make_shared<std::promise<ContentAnswer>>();
    auto answer = promise->get_future();
    service.getShareableContent(false, onScreenWindowsOnly,
                                [promise](std::optional<ShareableContent> content, ErrorRef error) {
                                    promise->set_value(ContentAnswer{std::move(content), error});
                                });
    if (answer.wait_for(StreamProbe::kPatience) != std::future_status::ready) {
        throw std::runtime_error("shareable content never answered");
    }
    return answer.get();
}

std::optional<uint32_t> monitorId(const std::string& displayName, const std::string& monitor) {
    XcbConnectionPtr connection(
        xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr));
    return displayIdForMonitorName(connection.get(), monitor);
}

ContentFilterRef filterFor(uint32_t displayID, double scale) {
    auto filter = std::make_shared<ContentFilter>();
    filter->display.displayID = displayID;
    filter->display.scale = scale;
    return filter;
}

StreamConfiguration configurationFor(const CaptureRect& sourceRect, int width, int height,
                                     bool showsCursor) {
    StreamConfiguration configuration;
    configuration.sourceRect = sourceRect;
    configuration.width = width;
    configuration.height = height;
    configuration.minimumFrameInterval = MediaTime::make(1, 30);
    configuration.showsCursor = showsCursor;
    configuration.queueDepth = 3;
    return configuration;
}

bool headlessSessionPresent() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return false;
    }
    return monitorId("", "MON-A").has_value() && monitorId("", "MON-B").has_value();
}

}  // namespace vantorel::testing
