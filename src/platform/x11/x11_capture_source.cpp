#include "platform/x11/x11_capture_source.h"

#include <pthread.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/frames/sink_gate.h"
#include "platform/pulse/sound_client.h"
#include "platform/x11/screen_grabber.h"
#include "platform/x11/sigpipe_guard.h"

namespace vantorel {

namespace {

// One capture on an X server, on one grab thread ("Vantorel.x11grb") of its own, and, with
// sound, the sound client's thread. The grab thread connects, finds the region, starts the
// sound and answers the start; then it wakes once per frame interval, waiting on a condition
// variable between beats, and grabs when the pacer says a frame is due. A lost display or
// sound server ends the capture with one report to the sink, from the thread that found it.
class X11CaptureSource final : public CaptureSource {
  public:
    explicit X11CaptureSource(X11CaptureOptions options) : options_(std::move(options)) {}
    ~X11CaptureSource() override { stop(); }

    X11CaptureSource(const X11CaptureSource&) = delete;
    X11CaptureSource& operator=(const X11CaptureSource&) = delete;

    // Owner's thread.
    void start(const CaptureRequest& request, CaptureSink& sink, StartAnswer answer) override;
    // Owner's thread.
    void stop() override;

  private:
    using Clock = ScreenGrabber::Clock;

    // Grab thread.
    void run(const CaptureRequest& request, const StartAnswer& answer);
    std::optional<Error> startSound();
    void grabUntilEnded(std::chrono::nanoseconds interval);
    // Any thread of the source: the grab loop is to end.
    void end();

    const X11CaptureOptions options_;
    std::unique_ptr<SinkGate> gate_;
    // Made and started on the grab thread; stopped there when the start fails, else by the owner
    // once that thread has ended.
    std::unique_ptr<SoundClient> sound_;
    std::unique_ptr<ScreenGrabber> grabber_;  // grab thread

    std::mutex mutex_;
    std::condition_variable wake_;
    bool ending_ = false;                              // guarded by mutex_
    std::optional<std::optional<Error>> soundAnswer_;  // guarded by mutex_
    std::thread thread_;
};

void X11CaptureSource::start(const CaptureRequest& request, CaptureSink& sink, StartAnswer answer) {
    gate_ = std::make_unique<SinkGate>(sink);
    thread_ = std::thread([this, request, answer = std::move(answer)] { run(request, answer); });
}

void X11CaptureSource::stop() {
    if (gate_) {
        gate_->close();
    }
    end();
    if (thread_.joinable()) {
        thread_.join();
    }
    if (sound_) {
        sound_->stop();
    }
}

void X11CaptureSource::end() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
}

void X11CaptureSource::run(const CaptureRequest& request, const StartAnswer& answer) {
    pthread_setname_np(pthread_self(), "Vantorel.x11grb");
    // libxcb writes with plain writev: a server that died would raise SIGPIPE.
    const SigpipeGuard guard;
    std::optional<Error> error;
    grabber_ = ScreenGrabber::open(options_.displayName, request, error);
    if (!error && request.capturesSound) {
        error = startSound();
    }
    if (error) {
        grabber_.reset();
        if (sound_) {
            sound_->stop();
        }
        answer(error);
        return;
    }
    answer(std::nullopt);
    grabUntilEnded(std::chrono::nanoseconds(1'000'000'000 / std::max(1, request.frameRate)));
    grabber_.reset();
}

std::optional<Error> X11CaptureSource::startSound() {
    sound_ = std::make_unique<SoundClient>(options_.soundServer);
    sound_->start([this](SoundBlock block) { gate_->take(std::move(block)); },
                  [this](const Error& lost) {
                      gate_->stopWith(lost);
                      end();
                  },
                  [this](std::optional<Error> answer) {
                      {
                          std::lock_guard lock(mutex_);
                          soundAnswer_ = std::move(answer);
                      }
                      wake_.notify_all();
                  });
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return ending_ || soundAnswer_.has_value(); });
    if (soundAnswer_) {
        return *soundAnswer_;
    }
    return Error{Error::Kind::failed,
                 QCoreApplication::translate("X11CaptureSource",
                                             "The recording was stopped before it started."),
                 {}};
}

void X11CaptureSource::grabUntilEnded(std::chrono::nanoseconds interval) {
    Clock::time_point deadline = Clock::now();
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, deadline, [this] { return ending_; })) {
                return;
            }
        }
        const Clock::time_point now = Clock::now();
        const std::optional<Error> error =
            grabber_->tick(now, [this](const VideoFrame& frame) { gate_->take(frame); });
        if (error) {
            gate_->stopWith(*error);
            return;
        }
        deadline += interval;
        if (deadline <= now) {
            deadline = now + interval;  // fell behind: skip the missed beats instead of bursting
        }
    }
}

}  // namespace

CaptureSourceFactory makeX11CaptureSourceFactory(X11CaptureOptions options) {
    return [options = std::move(options)]() -> std::unique_ptr<CaptureSource> {
        return std::make_unique<X11CaptureSource>(options);
    };
}

}  // namespace vantorel
