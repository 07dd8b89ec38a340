#include "platform/x11/screen_grabber.h"

#include <xcb/damage.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/frames/frame_converter.h"
#include "platform/host_clock.h"
#include "platform/x11/randr_monitors.h"
#include "platform/x11/x11_errors.h"

namespace vantorel {

namespace {

// Pictures in flight at most. The writer converts a frame before queueing it, so a picture is
// back in the pool when the sink returns and one is all a recording uses; the second is for a
// sink that keeps frames a little longer. Each is a segment as large as the frame, shared with
// the server. A grab finding none free is skipped rather than waited for.
constexpr int kPictures = 2;
constexpr std::chrono::seconds kIdleInterval{1};
// RandR sends no event when a monitor is set or deleted (xrandr --setmonitor), so the list is
// read again this often.
constexpr std::chrono::seconds kMonitorCheckInterval{1};

QSize frameSizeFor(const CaptureRequest& request) {
    return request.frameSize.isEmpty() ? request.region.size() : request.frameSize;
}

}  // namespace

std::unique_ptr<ScreenGrabber> ScreenGrabber::open(const std::string& displayName,
                                                   const CaptureRequest& request,
                                                   std::optional<Error>& error) {
    std::unique_ptr<X11Display> display = X11Display::open(displayName, error);
    if (!display) {
        return nullptr;
    }
    std::unique_ptr<ScreenGrabber> grabber(new ScreenGrabber(std::move(display), request));
    const auto atom =
        monitorNameAtom(grabber->display_->connection(), request.monitor.toStdString());
    if (!atom) {
        error = monitorMissing(request.monitor);
        return nullptr;
    }
    grabber->monitorAtom_ = *atom;
    error = grabber->locateRegion();
    if (!error) {
        error = grabber->ensureScratchImage();
    }
    if (!error) {
        // The server must be able to share memory with this process, which the first picture
        // shows; it goes back to the pool at once. A first grab into it makes the server map
        // the segment, which takes it tens of milliseconds at 4K: better before the recording
        // than in place of its second frame.
        const std::shared_ptr<ShmImage> picture = grabber->pool_.acquire(error);
        if (picture) {
            error = (grabber->scales() ? *grabber->scratch_ : *picture)
                        .grab(grabber->display_->root(), grabber->region_);
        }
        if (error && error->kind == Error::Kind::captureLost) {
            error->kind = Error::Kind::failed;  // nothing was being recorded yet
        }
    }
    if (error) {
        return nullptr;
    }
    grabber->watchServer();
    return grabber;
}

ScreenGrabber::ScreenGrabber(std::unique_ptr<X11Display> display, const CaptureRequest& request)
    : display_(std::move(display)),
      monitorName_(request.monitor),
      wanted_{request.region.x(), request.region.y(), request.region.width(),
              request.region.height()},
      showsCursor_(request.showsCursor),
      pool_(display_->connection(), kPictures, frameSizeFor(request).width(),
            frameSizeFor(request).height()),
      pacer_(kIdleInterval) {}

ScreenGrabber::~ScreenGrabber() {
    scratch_.reset();  // detaches the segment before the connection goes
    if (damage_ != 0 && !display_->broken()) {
        xcb_damage_destroy(display_->connection(), damage_);
        xcb_flush(display_->connection());
    }
}

std::optional<Error> ScreenGrabber::locateRegion() {
    const std::vector<RandrMonitor> monitors =
        queryMonitors(display_->connection(), display_->root());
    if (std::optional<Error> lost = display_->broken()) {
        return lost;
    }
    const auto monitor =
        std::find_if(monitors.begin(), monitors.end(),
                     [this](const RandrMonitor& m) { return m.name == monitorAtom_; });
    if (monitor == monitors.end()) {
        return running() ? monitorGone(monitorName_) : monitorMissing(monitorName_);
    }
    const PixelRect onMonitor =
        intersection(wanted_, PixelRect{0, 0, monitor->rect.width, monitor->rect.height});
    region_ = intersection(PixelRect{onMonitor.x + monitor->rect.x, onMonitor.y + monitor->rect.y,
                                     onMonitor.width, onMonitor.height},
                           display_->screenRect());
    if (region_.isEmpty() || pool_.width() <= 0 || pool_.height() <= 0) {
        return cannotCapture(
            running() ? Error::Kind::captureLost : Error::Kind::failed,
            QStringLiteral("the region lies outside the monitor %1").arg(monitorName_));
    }
    return std::nullopt;
}

bool ScreenGrabber::scales() const {
    return region_.width != pool_.width() || region_.height != pool_.height();
}

std::optional<Error> ScreenGrabber::ensureScratchImage() {
    const size_t bytes =
        static_cast<size_t>(region_.width) * static_cast<size_t>(region_.height) * 4;
    if (!scales()) {
        scratch_.reset();
        return std::nullopt;
    }
    if (scratch_ && scratch_->capacity() >= bytes) {
        return std::nullopt;
    }
    scratch_.reset();
    std::optional<Error> error;
    scratch_ = ShmImage::create(display_->connection(), bytes, error);
    return error;
}

void ScreenGrabber::watchServer() {
    xcb_connection_t* c = display_->connection();
    damage_ = xcb_generate_id(c);
    // Raw rectangles need no re-arming and say where each change happened.
    xcb_damage_create(c, damage_, display_->root(), XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    cursor_ = std::make_unique<CursorTracker>(c, display_->root());
    if (showsCursor_) {
        cursor_->selectShapeEvents();
    }
    // A round trip, so that the damage the server reports at once for the whole screen is in
    // before the first frame, which is complete anyway, rather than making the second one so.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

std::optional<Error> ScreenGrabber::tick(Clock::time_point now, const Deliver& deliver) {
    readEvents();
    if (std::optional<Error> error = checkMonitors(now)) {
        return error;
    }
    if (showsCursor_ && cursor_->refresh(region_)) {
        pacer_.markChanged();
    }
    if (std::optional<Error> lost = display_->broken()) {
        return lost;
    }
    const std::optional<FrameChange> change = pacer_.due(now);
    return change ? grab(*change, now, deliver) : std::nullopt;
}

void ScreenGrabber::readEvents() {
    const uint8_t damageNotify = display_->damageEventBase() + XCB_DAMAGE_NOTIFY;
    const uint8_t cursorNotify = display_->xfixesEventBase() + XCB_XFIXES_CURSOR_NOTIFY;
    while (XcbEvent event{xcb_poll_for_event(display_->connection())}) {
        const uint8_t type = event->response_type & 0x7F;
        if (type == damageNotify) {
            const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(event.get());
            const PixelRect area{notify->area.x, notify->area.y, notify->area.width,
                                 notify->area.height};
            if (intersects(area, region_)) {
                pacer_.markChanged();
            }
        } else if (type == cursorNotify) {
            cursor_->shapeChanged();
        }
        // Anything else (an error of a request nobody checks) shows in the next reply.
    }
}

std::optional<Error> ScreenGrabber::checkMonitors(Clock::time_point now) {
    if (now < nextMonitorCheck_) {
        return std::nullopt;
    }
    nextMonitorCheck_ = now + kMonitorCheckInterval;
    const PixelRect before = region_;
    if (std::optional<Error> error = locateRegion()) {
        return error;
    }
    if (region_ != before) {
        pacer_.markChanged();  // the monitor moved: other pixels are under the region now
    }
    return ensureScratchImage();
}

std::optional<Error> ScreenGrabber::grab(FrameChange change, Clock::time_point now,
                                         const Deliver& deliver) {
    std::optional<Error> error;
    const std::shared_ptr<ShmImage> picture = pool_.acquire(error);
    if (error) {
        return error;
    }
    if (!picture) {
        ++skipped_;  // the change stays pending for the next beat
        return std::nullopt;
    }
    const int64_t timeNs = monotonicNowNs();
    // Unscaled, the server writes straight into the picture the writer reads.
    ShmImage& grabbed = scales() ? *scratch_ : *picture;
    if (std::optional<Error> failed = grabbed.grab(display_->root(), region_)) {
        return failed;
    }
    if (showsCursor_) {
        cursor_->drawInto(region_, grabbed.data());
    }
    if (scales()) {
        convertFrame(scratch_->data(), region_.width, region_.height, region_.width * 4,
                     picture->data(), pool_.width(), pool_.height(), pool_.stride());
    }
    pacer_.delivered(change, now);
    deliver(VideoFrame{timeNs, change == FrameChange::complete, pool_.width(), pool_.height(),
                       pool_.stride(), std::shared_ptr<const uint8_t>(picture, picture->data())});
    return std::nullopt;
}

}  // namespace vantorel
