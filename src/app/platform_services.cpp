#include "app/platform_services.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/screen_scales.h"
#include "capture/recorder.h"
#include "indicators/countdown_window.h"
#include "indicators/outline_window.h"
#include "indicators/stop_pill.h"
#include "platform/ffmpeg/ffmpeg_writer_factory.h"
#include "platform/host_clock.h"
#include "platform/preference_store.h"
#include "platform/pulse/pulse_audio_source.h"
#include "platform/x11/randr_monitors.h"
#include "platform/x11/x11_capture_service.h"
#include "prefs/preferences.h"
#include "selection/selection_overlay_controller.h"

namespace vantorel {

namespace {

// The selection overlay as the recording flow drives it.
class OverlayAdapter final : public SelectionOverlay {
  public:
    explicit OverlayAdapter(std::unique_ptr<SelectionOverlayController> controller)
        : controller_(std::move(controller)) {}
    void show() override { controller_->show(); }
    void cancel() override { controller_->cancel(); }
    void close() override { controller_->close(); }

  private:
    std::unique_ptr<SelectionOverlayController> controller_;
};

// A screen's display number is its RandR monitor's name atom, as the capture service lists it.
std::optional<uint32_t> displayIdOf(QScreen* screen) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (screen == nullptr || x11 == nullptr) {
        return std::nullopt;
    }
    return displayIdForMonitorName(x11->connection(), screen->name().toStdString());
}

}  // namespace

PlatformServices::PlatformServices() : scales_(std::make_shared<ScreenScales>()) {
    X11CaptureOptions options;
    options.scaleForMonitor = [scales = scales_](const std::string& name) {
        return scales->scaleFor(name);
    };
    options.audioSourceFactory = pulseAudioSourceFactory();
    captureService_ = std::make_shared<X11CaptureService>(std::move(options));
}

PlatformServices::~PlatformServices() = default;

void PlatformServices::install(AppServices& services, PreferenceStore& store) {
    services.captureService = captureService_;
    services.makeEngine = makeRecorderFactory(
        RecorderServices{captureService_, std::make_shared<FfmpegWriterFactory>(),
                         std::make_shared<MonotonicClock>()});
    services.displayId = displayIdOf;
    services.makeOverlay = [&store](std::function<void(const Selection&)> onRecord,
                                    std::function<void()> onCancel) {
        return std::make_unique<OverlayAdapter>(std::make_unique<SelectionOverlayController>(
            std::move(onRecord), std::move(onCancel),
            [&store] { return Preferences::lastSize(store); }));
    };
    services.makeCountdown = [](const Selection& selection) {
        return std::make_unique<CountdownWindow>(selection);
    };
    services.makeOutline = [](QScreen* screen, const QRectF& rect) {
        return std::make_unique<OutlineWindow>(screen, rect);
    };
    services.makePill = [](QScreen* screen, const QRectF& rect,
                           std::function<void()> action) -> std::unique_ptr<IndicatorWindow> {
        auto pill = std::make_unique<StopPill>(screen, rect, std::move(action));
        return pill->placed() ? std::move(pill) : nullptr;
    };
}

}  // namespace vantorel
