#include "platform/wayland/wayland_capture_source.h"

#include <fcntl.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "platform/frames/sink_gate.h"
#include "platform/pulse/sound_client.h"
#include "platform/wayland/screen_stream.h"
#include "platform/wayland/screencast_portal.h"

namespace vantorel {

namespace {

// From the desktop's consent to a running stream: PipeWire links the stream at once when it
// can, so a stream still not running by then never will (a session manager that does not link
// it), and the recording must not wait for it forever.
constexpr std::chrono::seconds kStreamStartLimit{15};

QString tr(const char* text) {
    return QCoreApplication::translate("WaylandCaptureSource", text);
}

// One capture through the portal. The main thread talks to the portal and opens the stream;
// the stream's thread then delivers frames and, once the stream runs, starts the sound, whose
// thread delivers the blocks. The start is answered once, by whichever of them settles it.
class WaylandCaptureSource final : public CaptureSource {
  public:
    explicit WaylandCaptureSource(WaylandCaptureOptions options) : options_(std::move(options)) {}
    ~WaylandCaptureSource() override { stop(); }

    WaylandCaptureSource(const WaylandCaptureSource&) = delete;
    WaylandCaptureSource& operator=(const WaylandCaptureSource&) = delete;

    // Main thread.
    void start(const CaptureRequest& request, CaptureSink& sink, StartAnswer answer) override;
    // Main thread.
    void stop() override;

  private:
    // Main thread.
    void shared(const SharedMonitor& monitor);
    void refused(const Error& error);
    std::optional<Error> openStream(const SharedMonitor& monitor);
    // Grab thread.
    void streamRunning();
    // Any thread of the source: the start fails with `error`, or the capture is lost.
    void ended(const Error& error);
    // Any thread of the source. False when the start was answered already.
    bool answerOnce(const std::optional<Error>& error);

    const WaylandCaptureOptions options_;
    CaptureRequest request_;
    std::unique_ptr<SinkGate> gate_;
    std::unique_ptr<ScreenCastPortal> portal_;
    QString offeredToken_;
    std::unique_ptr<ScreenStream> stream_;
    std::unique_ptr<QTimer> streamStartLimit_;  // main thread
    // Made and started on the grab thread; stopped by the owner once that thread has ended.
    std::unique_ptr<SoundClient> sound_;

    std::mutex mutex_;
    StartAnswer answer_;  // guarded by mutex_; empty once used
};

void WaylandCaptureSource::start(const CaptureRequest& request, CaptureSink& sink,
                                 StartAnswer answer) {
    request_ = request;
    answer_ = std::move(answer);
    gate_ = std::make_unique<SinkGate>(sink);
    portal_ = std::make_unique<ScreenCastPortal>(options_.bus);
    ScreenCastPortal* portal = portal_.get();
    QObject::connect(portal, &ScreenCastPortal::shared, portal,
                     [this](const SharedMonitor& monitor) { shared(monitor); });
    QObject::connect(portal, &ScreenCastPortal::refused, portal,
                     [this](const Error& error) { refused(error); });
    QObject::connect(portal, &ScreenCastPortal::failed, portal,
                     [this](const Error& error) { ended(error); });
    QObject::connect(portal, &ScreenCastPortal::ended, portal, [this] {
        ended(Error{Error::Kind::captureLost, tr("The desktop stopped sharing the screen."),
                    "org.freedesktop.portal.Session: Closed"});
    });
    offeredToken_ = options_.restoreToken ? options_.restoreToken() : QString();
    portal_->share(request.showsCursor, offeredToken_);
}

void WaylandCaptureSource::stop() {
    if (gate_) {
        gate_->close();
    }
    streamStartLimit_.reset();
    stream_.reset();  // joins the grab thread
    if (sound_) {
        sound_->stop();
    }
    if (portal_) {
        portal_->disconnect();
        portal_->close();
        // Possibly stopped from within one of its signals.
        portal_.release()->deleteLater();
    }
}

void WaylandCaptureSource::refused(const Error& error) {
    if (!offeredToken_.isEmpty() && options_.keepRestoreToken) {
        options_.keepRestoreToken({});  // whatever it allowed, it is not allowed now
    }
    answerOnce(error);
}

void WaylandCaptureSource::shared(const SharedMonitor& monitor) {
    if (options_.keepRestoreToken) {
        options_.keepRestoreToken(monitor.restoreToken);
    }
    if (std::optional<Error> error = openStream(monitor)) {
        answerOnce(*error);
        return;
    }
    streamStartLimit_ = std::make_unique<QTimer>();
    streamStartLimit_->setSingleShot(true);
    QObject::connect(streamStartLimit_.get(), &QTimer::timeout, [this] {
        answerOnce(Error{Error::Kind::failed, tr("The desktop's screen sharing did not start."),
                         "the PipeWire stream did not start streaming"});
    });
    streamStartLimit_->start(kStreamStartLimit);
}

std::optional<Error> WaylandCaptureSource::openStream(const SharedMonitor& monitor) {
    const std::vector<DesktopMonitor> monitors =
        options_.monitors ? options_.monitors() : std::vector<DesktopMonitor>{};
    const auto wanted = std::find_if(monitors.begin(), monitors.end(),
                                     [this](const auto& m) { return m.name == request_.monitor; });
    if (wanted == monitors.end()) {
        return Error{Error::Kind::noDisplay, tr("The monitor to record is not there."),
                     QString("no monitor %1").arg(request_.monitor)};
    }
    if (!sharesMonitor(monitors, request_.monitor, monitor.position, monitor.size)) {
        // The kept consent would share the same monitor again without asking.
        if (options_.keepRestoreToken) {
            options_.keepRestoreToken({});
        }
        return Error{Error::Kind::otherMonitorShared,
                     tr("The desktop shared another monitor than the one the region is on."),
                     QString("the region is on %1; the shared monitor is %2x%3")
                         .arg(request_.monitor)
                         .arg(monitor.size.width())
                         .arg(monitor.size.height())};
    }
    const int fd = fcntl(monitor.remote.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return Error::fromErrno(Error::Kind::failed, tr("The screen stream could not be opened."),
                                errno);
    }
    const StreamCut cut{request_.region, wanted->pixelSize, request_.frameSize, request_.frameRate};
    ScreenStream::Handlers handlers{[this](const VideoFrame& frame) { gate_->take(frame); },
                                    [this] { streamRunning(); },
                                    [this](const Error& error) { ended(error); }};
    std::optional<Error> error;
    stream_ = ScreenStream::open(fd, monitor.node, cut, std::move(handlers), error);
    return error;
}

void WaylandCaptureSource::streamRunning() {
    if (!request_.capturesSound) {
        answerOnce(std::nullopt);
        return;
    }
    sound_ = std::make_unique<SoundClient>(options_.soundServer);
    sound_->start([this](SoundBlock block) { gate_->take(std::move(block)); },
                  [this](const Error& lost) { gate_->stopWith(lost); },
                  [this](std::optional<Error> answer) { answerOnce(answer); });
}

void WaylandCaptureSource::ended(const Error& error) {
    if (!answerOnce(error)) {
        gate_->stopWith(error);
    }
}

bool WaylandCaptureSource::answerOnce(const std::optional<Error>& error) {
    StartAnswer answer;
    {
        std::lock_guard lock(mutex_);
        answer.swap(answer_);
    }
    if (!answer) {
        return false;
    }
    answer(error);
    return true;
}

}  // namespace

CaptureSourceFactory makeWaylandCaptureSourceFactory(WaylandCaptureOptions options) {
    return [options = std::move(options)]() -> std::unique_ptr<CaptureSource> {
        return std::make_unique<WaylandCaptureSource>(options);
    };
}

}  // namespace vantorel
