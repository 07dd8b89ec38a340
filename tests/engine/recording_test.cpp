// The whole engine on the real parts: the recorder with the X11 capture source on the headless
// session's X server and PulseAudio (null sink "vsink"), and the FFmpeg writer; the files are
// read back with ffprobe and ffmpeg.
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
#include "tone_analysis.h"

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
    // Stops and answers the file; the stop's host time lies within `stoppedNs`.
    std::optional<QString> stop(std::pair<int64_t, int64_t>& stoppedNs) {
        stoppedNs.first = monotonicNowNs();
        recorder_.stop();
        stoppedNs.second = monotonicNowNs();
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

// One player for every test: the session's sink needs a while to become prompt, once.
SoundPlayer& player() {
    static SoundPlayer instance("", "vsink");
    // Placing nothing waits until the sink plays promptly.
    static const bool prompt = instance.play(0, 0, 0, 0).has_value();
    EXPECT_TRUE(prompt) << instance.failure();
    return instance;
}

uint32_t rgbAt(const std::vector<unsigned char>& frame, int width, int x, int y) {
    const unsigned char* p = frame.data() + (y * width + x) * 3;
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

std::vector<double> frameTimes(const MediaProbe& probe) {
    std::vector<double> times;
    for (const MediaProbe::Packet& packet : probe.videoPackets()) {
        times.push_back(packet.time);
    }
    std::sort(times.begin(), times.end());
    return times;
}

TEST(Recording, KeepsTheRegionsPicturesAndTheSystemSound) {
    ASSERT_TRUE(player().play(440, 0.5f, 4.0, monotonicNowNs()));
    ColorWindow window("", 100, 100, 320, 240);
    window.fill(0xFF0000);
    Recording recording({100, 100, 320, 240}, 30);
    ASSERT_TRUE(recording.start());
    // Each colour, and when it was drawn.
    std::vector<std::pair<uint32_t, int64_t>> drawn{{0xFF0000, recording.firstFrameNs()}};
    for (uint32_t rgb : {0x00FF00u, 0x0000FFu}) {
        std::this_thread::sleep_for(700ms);
        window.fill(rgb);
        drawn.emplace_back(rgb, monotonicNowNs());
    }
    std::this_thread::sleep_for(700ms);
    std::pair<int64_t, int64_t> stopped;
    const std::optional<QString> path = recording.stop(stopped);
    ASSERT_TRUE(path);

    const MediaProbe probe(path->toStdString());
    const auto video = probe.streams("video");
    const auto sound = probe.streams("audio");
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(sound.size(), 1u);
    EXPECT_EQ(video[0].at("codec_name") + " " + video[0].at("profile"), "h264 High");
    EXPECT_EQ(video[0].at("width") + "x" + video[0].at("height"), "320x240");
    EXPECT_EQ(sound[0].at("codec_name") + " " + sound[0].at("sample_rate") + " " +
                  sound[0].at("channels"),
              "aac 48000 2");
    const double first = static_cast<double>(recording.firstFrameNs()) / kSecond;
    EXPECT_GE(probe.duration().value_or(0), stopped.first / 1e9 - first - 1 / 30.0);
    EXPECT_LE(probe.duration().value_or(0), stopped.second / 1e9 - first + 1 / 30.0);

    // A still screen gives one frame per change: each shows its colour, at most a frame after it
    // was drawn.
    const auto frames = probe.decodedFrames();
    const std::vector<double> times = frameTimes(probe);
    ASSERT_EQ(frames.size(), drawn.size());
    ASSERT_EQ(times.size(), drawn.size());
    for (size_t i = 0; i < drawn.size(); ++i) {
        const uint32_t rgb = rgbAt(frames[i], 320, 160, 120);
        for (int shift : {0, 8, 16}) {
            EXPECT_NEAR(rgb >> shift & 0xFF, drawn[i].first >> shift & 0xFF, 40) << "frame " << i;
        }
        EXPECT_NEAR(times[i], static_cast<double>(drawn[i].second) / kSecond - first, 1 / 30.0);
    }
    const std::vector<float> samples = probe.decodedSound();
    ASSERT_GT(samples.size(), 48000u);
    EXPECT_GT(loudness(samples, 12000, 48000), 0.2);
    EXPECT_EQ(strongestFrequency(samples, 12000, 48000, 48000), 440);
}

TEST(Recording, AFlashAndABeepMadeTogetherLandLessThanAFrameApart) {
    constexpr int kRate = 60;
    constexpr int64_t kFrame = kSecond / kRate;
    SoundPlayer& beeper = player();
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
    std::pair<int64_t, int64_t> stopped;
    const std::optional<QString> path = recording.stop(stopped);
    ASSERT_TRUE(path);

    const double asked = static_cast<double>(flash - recording.firstFrameNs()) / kSecond;
    const MediaProbe probe(path->toStdString());
    const auto frames = probe.decodedFrames();
    const std::vector<double> times = frameTimes(probe);
    size_t shown = 0;
    while (shown < frames.size() &&
           (times[shown] < asked - 0.05 || rgbAt(frames[shown], 160, 80, 60) < 0x808080)) {
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
