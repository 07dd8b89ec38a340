// A/V sync through the whole engine on the real parts: the recorder with the X11 capture source on
// the headless session's X server and PulseAudio (null sink "vsink"), and the FFmpeg writer; the
// files are read back with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <thread>

#include "capture/recorder.h"
#include "color_window.h"
#include "event_loop.h"
#include "media_probe.h"
#include "platform/ffmpeg/ffmpeg_mp4_writer.h"
#include "platform/x11/x11_capture_source.h"
#include "scratch_folder.h"
#include "sink_log.h"
#include "sound_player.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kSecond = 1'000'000'000;

// The real source, with a copy of every frame it delivers to the recorder kept in a log.
class TappedSource final : public CaptureSource, public CaptureSink {
  public:
    explicit TappedSource(SinkLog& log) : log_(log), inner_(makeX11CaptureSourceFactory()()) {}
    void start(const CaptureRequest& request, CaptureSink& sink, StartAnswer answer) override {
        sink_ = &sink;
        inner_->start(request, *this, std::move(answer));
    }
    void stop() override { inner_->stop(); }
    void take(const VideoFrame& frame) override {
        log_.take(frame);
        sink_->take(frame);
    }
    void take(SoundBlock block) override { sink_->take(std::move(block)); }
    void sourceStopped(const Error& error) override { sink_->sourceStopped(error); }

  private:
    SinkLog& log_;
    std::unique_ptr<CaptureSource> inner_;
    CaptureSink* sink_ = nullptr;
};

// One recording of `region` on MON-A, with sound, into a scratch folder.
class Recording {
  public:
    Recording(QRect region, int frameRate)
        : recorder_([this] { return std::make_unique<TappedSource>(frames); },
                    makeFfmpegMp4WriterFactory(), std::make_shared<MonotonicClock>()) {
        config_.capture = CaptureRequest{"MON-A", region, region.size(), frameRate, false, true};
        config_.outputPath = QString::fromStdString(folder_.file("recording.mp4").string());
        QObject::connect(&recorder_, &Recorder::started, [this] { started_ = true; });
        QObject::connect(&recorder_, &Recorder::startFailed,
                         [this](const Error& e) { error_ = e; });
        QObject::connect(&recorder_, &Recorder::finished,
                         [this](const StopResult& r) { result_ = r; });
    }
    bool start() {
        recorder_.start(config_);
        return waitUntil([this] { return started_ || error_; }) && started_ &&
               frames.waitFor([](const auto& s) { return s.completeFrames() > 0; });
    }
    std::optional<QString> stop() {
        recorder_.stop();
        waitUntil([this] { return result_.has_value(); });
        return result_ ? result_->path : std::nullopt;
    }
    int64_t firstFrameNs() { return frames.snapshot().frames.front().timeNs; }

    SinkLog frames;

  private:
    ScratchFolder folder_;
    RecorderConfig config_;
    Recorder recorder_;
    bool started_ = false;
    std::optional<Error> error_;
    std::optional<StopResult> result_;
};

TEST(Recording, AFlashAndABeepMadeTogetherLandLessThanAFrameApart) {
    constexpr int kRate = 60;
    constexpr int64_t kFrame = kSecond / kRate;
    SoundPlayer beeper("", "vsink");
    // Placing nothing waits until the session's sink plays promptly.
    ASSERT_TRUE(beeper.play(0, 0, 0, 0).has_value()) << beeper.failure();
    ColorWindow window("", 600, 100, 160, 120);
    window.fill(0x000000);
    Recording recording({600, 100, 160, 120}, kRate);
    ASSERT_TRUE(recording.start());
    // Frames are grabbed on a fixed beat, each stamped just after it. A flash drawn just before
    // a beat is in the frame of that beat; one made at any other moment could show up to a frame
    // later, which says nothing of how far the sound is from the picture. The stamp closest to
    // its beat tells where the beats are.
    const auto beat = [&recording] {
        const std::vector<SinkLog::Frame> frames = recording.frames.snapshot().frames;
        int64_t earliest = kFrame;
        for (const SinkLog::Frame& frame : frames) {
            const int64_t phase = (frame.timeNs - frames[0].timeNs + kFrame / 2) % kFrame;
            earliest = std::min(earliest, phase - kFrame / 2);
        }
        return frames[0].timeNs + earliest;
    };
    window.fill(0x202020);
    int64_t flash = 0;
    for (int attempt = 0; attempt < 3 && flash == 0; ++attempt) {
        const int64_t wanted =
            beat() + ((monotonicNowNs() + 300'000'000 - beat()) / kFrame) * kFrame - 2'000'000;
        ASSERT_NEAR(beeper.play(1000, 0.8f, 0.1, wanted).value_or(0), wanted, 100'000)
            << "the beep came late";
        std::this_thread::sleep_until(
            std::chrono::steady_clock::time_point(std::chrono::nanoseconds(wanted)));
        window.fill(0xFFFFFF);
        int64_t shown = 0;
        recording.frames.waitFor([&](const auto& state) {
            for (const SinkLog::Frame& frame : state.frames) {
                shown =
                    frame.complete && frame.timeNs > wanted && shown == 0 ? frame.timeNs : shown;
            }
            return shown != 0;
        });
        flash = shown - wanted < kFrame / 2 ? wanted : 0;
        std::this_thread::sleep_for(300ms);
        window.fill(0x000000);
    }
    ASSERT_NE(flash, 0) << "the test never drew the flash in time for a frame";
    std::this_thread::sleep_for(300ms);
    const std::optional<QString> path = recording.stop();
    ASSERT_TRUE(path);

    const double asked = static_cast<double>(flash - recording.firstFrameNs()) / kSecond;
    const MediaProbe probe(path->toStdString());
    const auto frames = probe.decodedFrames();
    std::vector<double> times;
    for (const MediaProbe::Packet& packet : probe.videoPackets()) {
        times.push_back(packet.time);
    }
    std::ranges::sort(times);
    size_t shown = 0;
    while (shown < frames.size() &&
           (times[shown] < asked - 0.05 || frames[shown][(60 * 160 + 80) * 3] < 0x80)) {
        ++shown;
    }
    ASSERT_LT(shown, frames.size()) << "no frame shows the flash";
    const std::vector<float> samples = probe.decodedSound();
    const double soundStart = std::stod(probe.streams("audio")[0].at("start_time"));
    size_t beep = static_cast<size_t>(std::max(0.0, asked - 0.05 - soundStart) * 48000);
    while (beep < samples.size() && std::fabs(samples[beep]) < 0.4f) {
        ++beep;
    }
    ASSERT_LT(beep, samples.size()) << "no beep in the sound track";
    const double beepAt = soundStart + static_cast<double>(beep) / 48000;
    EXPECT_LT(std::fabs(beepAt - times[shown]), 1.0 / kRate)
        << "flash at " << times[shown] << " s, beep at " << beepAt << " s";
}

}  // namespace
}  // namespace vantorel::testing
