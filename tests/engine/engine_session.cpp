#include "engine_session.h"

#include <future>

#include "capture/recorder.h"
#include "platform/ffmpeg/ffmpeg_writer_factory.h"
#include "platform/pulse/pulse_audio_source.h"
#include "platform/x11/x11_capture_service.h"
#include "tapped_capture_service.h"

namespace vantorel::testing {

namespace {

ErrorRef neverAnswered(const std::string& what) {
    return PlatformError::make("EngineSession", -1, what + " never answered");
}

template <typename T>
std::optional<T> awaitAnswer(std::future<T>& answer) {
    if (answer.wait_for(EngineSession::kPatience) != std::future_status::ready) {
        return std::nullopt;
    }
    return answer.get();
}

}  // namespace

EngineSession::EngineSession(const std::string& displayName, std::chrono::milliseconds lag) {
    X11CaptureOptions options;
    options.displayName = displayName;
    options.audioSourceFactory = pulseAudioSourceFactory();
    service_ = std::make_shared<TappedCaptureService>(
        std::make_shared<X11CaptureService>(std::move(options)), log_, lag);
    const CaptureEngineFactory makeEngine = makeRecorderFactory(
        RecorderServices{service_, std::make_shared<FfmpegWriterFactory>(), clock_});
    engine_ = makeEngine();
}

EngineSession::~EngineSession() = default;

uint64_t EngineSession::deliveredFrames() const {
    return service_->deliveredFrames();
}

std::optional<CaptureDisplay> EngineSession::displayAt(double x, double y) {
    auto promise = std::make_shared<std::promise<std::optional<ShareableContent>>>();
    auto answer = promise->get_future();
    service_->getShareableContent(false, true,
                                  [promise](std::optional<ShareableContent> content, ErrorRef) {
                                      promise->set_value(std::move(content));
                                  });
    const auto content = awaitAnswer(answer);
    if (!content || !*content) {
        return std::nullopt;
    }
    for (const CaptureDisplay& display : (*content)->displays) {
        if (display.frame.x == x && display.frame.y == y) {
            return display;
        }
    }
    return std::nullopt;
}

RecorderConfig EngineSession::configFor(const CaptureDisplay& display, const CaptureRect& points,
                                        int64_t frameRate, bool capturesAudio,
                                        const std::filesystem::path& output) {
    auto filter = std::make_shared<ContentFilter>();
    filter->display = display;
    RecorderConfig config;
    config.filter = filter;
    config.sourceRect = points;
    const PixelRect pixels = deviceRectFor(points, display.scale, 0, 0);
    config.pixelWidth = pixels.width;
    config.pixelHeight = pixels.height;
    config.frameRate = frameRate;
    config.showsCursor = false;
    config.capturesAudio = capturesAudio;
    config.outputURL = output;
    return config;
}

PixelRect EngineSession::rootRectFor(const CaptureDisplay& display, const CaptureRect& points) {
    // Like Qt on X11, a display's top-left corner keeps its pixel position.
    return deviceRectFor(points, display.scale, static_cast<int>(display.frame.x),
                         static_cast<int>(display.frame.y));
}

ErrorRef EngineSession::start(const RecorderConfig& config) {
    engine_->setOnFailure([failures = failures_](ErrorRef error) {
        {
            std::lock_guard lock(failures->mutex);
            failures->errors.push_back(std::move(error));
        }
        failures->changed.notify_all();
    });
    auto promise = std::make_shared<std::promise<ErrorRef>>();
    auto answer = promise->get_future();
    engine_->start(config, [promise](ErrorRef error) { promise->set_value(std::move(error)); });
    return awaitAnswer(answer).value_or(neverAnswered("start"));
}

std::optional<StopResult> EngineSession::stop() {
    auto promise = std::make_shared<std::promise<StopResult>>();
    auto answer = promise->get_future();
    engine_->stop([promise](StopResult result) { promise->set_value(std::move(result)); });
    return awaitAnswer(answer);
}

std::vector<ErrorRef> EngineSession::failures() const {
    std::lock_guard lock(failures_->mutex);
    return failures_->errors;
}

bool EngineSession::waitForFailure() {
    std::unique_lock lock(failures_->mutex);
    return failures_->changed.wait_for(lock, kPatience,
                                       [this] { return !failures_->errors.empty(); });
}

}  // namespace vantorel::testing
