#include "platform/x11/x11_capture_service.h"

#include <cmath>

#include "platform/serial_queue.h"
#include "platform/x11/capture_geometry.h"
#include "platform/x11/randr_monitors.h"
#include "platform/x11/sigpipe_guard.h"
#include "platform/x11/window_owners.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/xcb_handles.h"

namespace vantorel {

struct X11CaptureService::Shared {
    X11CaptureOptions options;
    XcbConnectionPtr connection;  // used on the service's queue only
    xcb_window_t root = XCB_WINDOW_NONE;

    // On the queue. (Re)connects when there is no usable connection.
    ErrorRef ensureConnected();
    // On the queue.
    double scaleOf(const std::string& monitorName) const;
    void answer(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                const ShareableContentCompletion& completion);
};

ErrorRef X11CaptureService::Shared::ensureConnected() {
    if (connection && !xcb_connection_has_error(connection.get())) {
        return nullptr;
    }
    int screenNumber = 0;
    const char* name = options.displayName.empty() ? nullptr : options.displayName.c_str();
    connection.reset(xcb_connect(name, &screenNumber));
    if (xcb_connection_has_error(connection.get())) {
        connection.reset();
        return makeX11CaptureError(X11CaptureErrorCode::cannotConnect,
                                   "Cannot connect to the X server.");
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    root = screens.data->root;
    if (!hasRandrMonitors(connection.get())) {
        connection.reset();
        return makeX11CaptureError(X11CaptureErrorCode::missingExtension,
                                   "The X server does not offer RandR 1.5.");
    }
    return nullptr;
}

double X11CaptureService::Shared::scaleOf(const std::string& monitorName) const {
    if (!options.scaleForMonitor) {
        return 1.0;
    }
    const double scale = options.scaleForMonitor(monitorName);
    return (std::isfinite(scale) && scale > 0) ? scale : 1.0;
}

void X11CaptureService::Shared::answer(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                                       const ShareableContentCompletion& completion) {
    const SigpipeGuard guard;
    if (ErrorRef error = ensureConnected()) {
        completion(std::nullopt, error);
        return;
    }
    ShareableContent content;
    for (const RandrMonitor& monitor : queryMonitors(connection.get(), root)) {
        const double scale = scaleOf(monitor.name);
        content.displays.push_back(CaptureDisplay{
            monitor.nameAtom,
            displayFrameInPoints(monitor.x, monitor.y, monitor.width, monitor.height, scale),
            scale});
    }
    const std::vector<OwnedWindow> windows =
        queryOwnedWindows(connection.get(), root, excludingDesktopWindows, onScreenWindowsOnly);
    if (xcb_connection_has_error(connection.get())) {
        completion(std::nullopt, makeX11CaptureError(X11CaptureErrorCode::connectionLost,
                                                     "The connection to the X server was lost."));
        return;
    }
    content.applications = applicationsOf(windows);
    content.windows = captureWindowsOf(windows);
    completion(std::move(content), nullptr);
}

X11CaptureService::X11CaptureService(X11CaptureOptions options)
    : shared_(std::make_shared<Shared>()),
      queue_(std::make_shared<SerialQueue>("Vantorel.x11svc")) {
    shared_->options = std::move(options);
}

X11CaptureService::~X11CaptureService() = default;

void X11CaptureService::getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                                            ShareableContentCompletion completion) {
    queue_->async([shared = shared_, excludingDesktopWindows, onScreenWindowsOnly,
                   completion = std::move(completion)] {
        shared->answer(excludingDesktopWindows, onScreenWindowsOnly, completion);
    });
}

std::shared_ptr<CaptureStream> X11CaptureService::makeStream(
    ContentFilterRef filter, const StreamConfiguration& configuration,
    std::weak_ptr<StreamDelegate> delegate) {
    return makeX11Stream(std::move(filter), configuration, std::move(delegate));
}

std::shared_ptr<X11CaptureStream> X11CaptureService::makeX11Stream(
    ContentFilterRef filter, const StreamConfiguration& configuration,
    std::weak_ptr<StreamDelegate> delegate) {
    X11StreamEnvironment environment;
    environment.displayName = shared_->options.displayName;
    environment.audioSourceFactory = shared_->options.audioSourceFactory;
    environment.idleFrameInterval = shared_->options.idleFrameInterval;
    return std::make_shared<X11CaptureStream>(std::move(filter), configuration, std::move(delegate),
                                              std::move(environment));
}

}  // namespace vantorel
