#include "platform/x11/capture_session.h"

#include <pthread.h>
#include <xcb/damage.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include "platform/x11/frame_converter.h"
#include "platform/x11/randr_monitors.h"
#include "platform/x11/sigpipe_guard.h"
#include "platform/x11/x11_errors.h"

namespace vantorel {

namespace {

using Clock = FramePacer::Clock;

ErrorRef connectionLost() {
    return makeX11CaptureError(X11CaptureErrorCode::connectionLost,
                               "The connection to the X server was lost.");
}

ErrorRef missing(const std::string& what) {
    return makeX11CaptureError(X11CaptureErrorCode::missingExtension,
                               "The X server does not offer " + what + ".");
}

// Grabs copy 32-bit B,G,R,X pixels straight out of the server; anything else is refused.
bool hasBgrxPixels(const xcb_setup_t* setup, const xcb_screen_t* screen) {
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST ||
        (screen->root_depth != 24 && screen->root_depth != 32)) {
        return false;
    }
    bool bits32 = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
        if (it.data->depth == screen->root_depth) {
            bits32 = it.data->bits_per_pixel == 32;
        }
    }
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
         xcb_depth_next(&depths)) {
        for (auto visual = xcb_depth_visuals_iterator(depths.data); visual.rem > 0;
             xcb_visualtype_next(&visual)) {
            if (visual.data->visual_id == screen->root_visual) {
                return bits32 && visual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       visual.data->red_mask == 0xFF0000 && visual.data->green_mask == 0xFF00 &&
                       visual.data->blue_mask == 0xFF;
            }
        }
    }
    return false;
}

uint8_t eventBase(xcb_connection_t* connection, xcb_extension_t* extension) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection, extension);
    return (data != nullptr && data->present != 0) ? data->first_event : 0;
}

std::vector<Attachments> statusAttachments(FrameStatus status) {
    return {Attachments{{kFrameInfoStatus, static_cast<int64_t>(status)}}};
}

}  // namespace

CaptureSession::CaptureSession(const CaptureSessionSettings& settings)
    : settings_(settings),
      pool_(settings.queueDepth, settings.width, settings.height),
      pacer_(settings.idleInterval) {}

std::shared_ptr<CaptureSession> CaptureSession::open(const CaptureSessionSettings& settings,
                                                     ErrorRef& error) {
    const SigpipeGuard guard;
    if (settings.width <= 0 || settings.height <= 0) {
        error =
            makeX11CaptureError(X11CaptureErrorCode::emptyRegion, "The frame size has no pixels.");
        return nullptr;
    }
    std::shared_ptr<CaptureSession> session(new CaptureSession(settings));
    for (auto step : {&CaptureSession::connect, &CaptureSession::prepareExtensions,
                      &CaptureSession::locateRegion, &CaptureSession::ensureImageCapacity}) {
        error = (session.get()->*step)();
        if (error) {
            return nullptr;
        }
    }
    session->watchServer();
    return session;
}

ErrorRef CaptureSession::probe(const std::string& displayName) {
    const SigpipeGuard guard;
    CaptureSessionSettings settings;
    settings.displayName = displayName;
    CaptureSession session(settings);
    if (ErrorRef error = session.connect()) {
        return error;
    }
    return session.prepareExtensions();
}

CaptureSession::~CaptureSession() {
    const SigpipeGuard guard;
    stop();
    image_.reset();  // detaches the segment while the guard is up
    if (damage_ != 0 && !xcb_connection_has_error(connection_.get())) {
        xcb_damage_destroy(connection_.get(), damage_);
        xcb_flush(connection_.get());
    }
}

ErrorRef CaptureSession::connect() {
    int screenNumber = 0;
    const char* name = settings_.displayName.empty() ? nullptr : settings_.displayName.c_str();
    connection_.reset(xcb_connect(name, &screenNumber));
    if (xcb_connection_has_error(connection_.get())) {
        return makeX11CaptureError(X11CaptureErrorCode::cannotConnect,
                                   "Cannot connect to the X server.");
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_.get());
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0 || !hasBgrxPixels(setup, screens.data)) {
        return makeX11CaptureError(X11CaptureErrorCode::unsupportedFormat,
                                   "The screen does not use 32-bit true-colour pixels.");
    }
    root_ = screens.data->root;
    screenRect_ = PixelRect{0, 0, screens.data->width_in_pixels, screens.data->height_in_pixels};
    return nullptr;
}

ErrorRef CaptureSession::prepareExtensions() {
    xcb_connection_t* c = connection_.get();
    auto shm = takeReply(xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
    if (!shm) {
        return missing("MIT-SHM");
    }
    // XFixes must be announced before DAMAGE is used, and it gives the cursor's picture.
    auto xfixes = takeReply(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!xfixes) {
        return missing("XFIXES");
    }
    auto damage = takeReply(xcb_damage_query_version_reply(
        c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    if (!damage) {
        return missing("DAMAGE");
    }
    if (!hasRandrMonitors(c)) {
        return missing("RandR 1.5");
    }
    damageEventBase_ = eventBase(c, &xcb_damage_id);
    xfixesEventBase_ = eventBase(c, &xcb_xfixes_id);
    randrEventBase_ = eventBase(c, &xcb_randr_id);
    return nullptr;
}

ErrorRef CaptureSession::locateRegion() {
    const std::vector<RandrMonitor> monitors = queryMonitors(connection_.get(), root_, false);
    if (xcb_connection_has_error(connection_.get())) {
        return connectionLost();
    }
    const std::optional<RandrMonitor> monitor = findMonitor(monitors, settings_.displayID);
    if (!monitor) {
        return makeX11CaptureError(X11CaptureErrorCode::displayGone,
                                   "The display to capture is no longer connected.");
    }
    const PixelRect monitorRect{monitor->x, monitor->y, monitor->width, monitor->height};
    const PixelRect wanted =
        deviceRectFor(settings_.sourceRect, settings_.scale, monitor->x, monitor->y);
    region_ = intersection(intersection(wanted, monitorRect), screenRect_);
    if (region_.isEmpty()) {
        return makeX11CaptureError(X11CaptureErrorCode::emptyRegion,
                                   "The region to capture lies outside its display.");
    }
    return nullptr;
}

ErrorRef CaptureSession::ensureImageCapacity() {
    const size_t bytes =
        static_cast<size_t>(region_.width) * static_cast<size_t>(region_.height) * 4;
    if (image_ && image_->capacity() >= bytes) {
        return nullptr;
    }
    image_.reset();
    ErrorRef error;
    image_ = ShmImage::create(connection_.get(), bytes, error);
    return error;
}

void CaptureSession::watchServer() {
    xcb_connection_t* c = connection_.get();
    damage_ = xcb_generate_id(c);
    // Raw rectangles need no re-arming and say where each change happened.
    xcb_damage_create(c, damage_, root_, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_randr_select_input(c, root_,
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_RESOURCE_CHANGE);
    cursor_ = std::make_unique<CursorTracker>(c, root_);
    if (settings_.showsCursor) {
        cursor_->selectShapeEvents();
    }
    xcb_flush(c);
}

void CaptureSession::start(FrameSink onFrame, StopSink onStopped) {
    onFrame_ = std::move(onFrame);
    onStopped_ = std::move(onStopped);
    std::lock_guard lock(mutex_);
    // The thread keeps the session alive, so whoever lets go of it last, even the thread
    // itself from inside onStopped, never pulls the state from under it.
    thread_ = std::thread([self = shared_from_this()] { self->run(); });
}

void CaptureSession::stop() {
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
        thread = std::move(thread_);
    }
    wake_.notify_all();
    if (!thread.joinable()) {
        return;
    }
    if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();  // the thread is on its way out and owns a reference to us
    } else {
        thread.join();
    }
}

void CaptureSession::fail(ErrorRef error) {
    {
        std::lock_guard lock(mutex_);
        if (stopRequested_) {
            return;
        }
        stopRequested_ = true;
        failure_ = std::move(error);
    }
    wake_.notify_all();
}

void CaptureSession::run() {
    const SigpipeGuard guard;
    pthread_setname_np(pthread_self(), "Vantorel.x11grb");
    const auto interval =
        std::max<Clock::duration>(settings_.frameInterval, std::chrono::milliseconds(1));
    Clock::time_point deadline = Clock::now();
    ErrorRef failure;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, deadline, [this] { return stopRequested_; });
            if (stopRequested_) {
                failure = failure_;
                break;
            }
        }
        const Clock::time_point now = Clock::now();
        if (ErrorRef error = tick(now)) {
            fail(error);
            std::lock_guard lock(mutex_);
            failure = failure_;
            break;
        }
        deadline += interval;
        if (deadline <= now) {
            deadline = now + interval;  // fell behind: skip the missed ticks instead of bursting
        }
    }
    if (failure && onStopped_) {
        onStopped_(failure);
    }
}

ErrorRef CaptureSession::tick(Clock::time_point now) {
    drainEvents();
    if (xcb_connection_has_error(connection_.get())) {
        return connectionLost();
    }
    if (monitorsStale_ || now >= nextMonitorCheck_) {
        monitorsStale_ = false;
        nextMonitorCheck_ = now + settings_.monitorCheckInterval;
        const PixelRect before = region_;
        if (ErrorRef error = locateRegion()) {
            return error;
        }
        if (region_ != before) {
            pacer_.markChanged();  // the monitor moved: other pixels are under the region now
        }
        if (ErrorRef error = ensureImageCapacity()) {
            return error;
        }
    }
    if (settings_.showsCursor && cursor_->refresh(region_)) {
        pacer_.markChanged();
    }
    if (xcb_connection_has_error(connection_.get())) {
        return connectionLost();
    }
    const std::optional<FrameStatus> status = pacer_.due(now);
    return status ? grabFrame(*status, now) : nullptr;
}

void CaptureSession::drainEvents() {
    while (XcbEvent event{xcb_poll_for_event(connection_.get())}) {
        handleEvent(*event);
    }
}

void CaptureSession::handleEvent(const xcb_generic_event_t& event) {
    const uint8_t type = event.response_type & 0x7F;
    if (type == 0) {
        return;  // an error of a request nobody checks; the next reply tells if it matters
    }
    if (damageEventBase_ != 0 && type == damageEventBase_ + XCB_DAMAGE_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_damage_notify_event_t&>(event);
        const PixelRect area{notify.area.x, notify.area.y, notify.area.width, notify.area.height};
        if (intersects(area, region_)) {
            pacer_.markChanged();
        }
    } else if (xfixesEventBase_ != 0 && type == xfixesEventBase_ + XCB_XFIXES_CURSOR_NOTIFY) {
        cursor_->shapeChanged();
    } else if (randrEventBase_ != 0 && type >= randrEventBase_ &&
               type <= randrEventBase_ + XCB_RANDR_NOTIFY) {
        monitorsStale_ = true;
    }
}

ErrorRef CaptureSession::grabFrame(FrameStatus status, Clock::time_point now) {
    std::shared_ptr<PixelBuffer> pixels = pool_.acquire();
    if (!pixels) {
        ++skipped_;  // the change stays pending for the next tick
        return nullptr;
    }
    const MediaTime time = clock_.now();
    if (ErrorRef error = image_->grab(root_, region_)) {
        return error;
    }
    if (settings_.showsCursor) {
        cursor_->drawInto(region_, image_->data());
    }
    convertFrame(image_->data(), region_.width, region_.height, *pixels);
    pacer_.delivered(status, now);
    ++delivered_;
    if (onFrame_) {
        onFrame_(SampleBuffer::makeVideo(time, std::move(pixels), statusAttachments(status)));
    }
    return nullptr;
}

}  // namespace vantorel
