// The X11 capture source on real X servers: the headless session's (monitors MON-A and MON-B),
// and private ones that a test kills or takes a monitor from.
#include "platform/x11/x11_capture_source.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include "color_window.h"
#include "private_pulse_server.h"
#include "private_x_server.h"
#include "sink_log.h"
#include "sound_player.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kMonB = 1920;  // MON-B's left edge on the session's root window
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

CaptureRequest request(const char* monitor, QRect region, QSize frameSize = {}) {
    return CaptureRequest{QString::fromLatin1(monitor),
                          region,
                          frameSize.isEmpty() ? region.size() : frameSize,
                          30,
                          false,
                          false};
}

// A started source, stopped when the test ends.
struct Capture {
    Capture(const CaptureRequest& request, X11CaptureOptions options = {},
            std::chrono::microseconds callTime = {})
        : log(callTime), source(makeX11CaptureSourceFactory(std::move(options))()) {
        auto answer = std::make_shared<std::promise<std::optional<Error>>>();
        std::future<std::optional<Error>> answered = answer->get_future();
        source->start(request, log, [answer](std::optional<Error> e) { answer->set_value(e); });
        startError = answered.wait_for(10s) == std::future_status::ready
                         ? answered.get()
                         : Error{Error::Kind::failed, QStringLiteral("no answer"), {}};
    }
    ~Capture() { source->stop(); }

    SinkLog log;
    std::unique_ptr<CaptureSource> source;
    std::optional<Error> startError;
};

// The fourth byte of a pixel is the X server's own and never read.
uint32_t rgbAt(const VideoFrame& frame, int x, int y) {
    const uint8_t* p = frame.pixels.get() + y * frame.stride + x * 4;
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

struct PixelCase {
    const char* name;
    QRect region;  // on MON-B, where a window of four 40x30 quadrants lies at 200,300
    QSize frameSize;
    std::map<std::pair<int, int>, uint32_t> expected;
};

class RegionPixels : public ::testing::TestWithParam<PixelCase> {};

TEST_P(RegionPixels, ArriveExactlyAtTheFrameSize) {
    ColorWindow window("", kMonB + 200, 300, 80, 60);
    window.fill(kRed, 0, 0, 40, 30);
    window.fill(kGreen, 40, 0, 40, 30);
    window.fill(kBlue, 0, 30, 40, 30);
    window.fill(kWhite, 40, 30, 40, 30);
    Capture capture(request("MON-B", GetParam().region, GetParam().frameSize));
    ASSERT_EQ(capture.startError, std::nullopt) << capture.startError->details().toStdString();
    ASSERT_TRUE(capture.log.waitFor([](const auto& s) { return s.completeFrames() > 0; }));

    const VideoFrame frame = capture.log.snapshot().lastComplete;
    EXPECT_EQ(QSize(frame.width, frame.height), GetParam().frameSize);
    for (const auto& [at, rgb] : GetParam().expected) {
        EXPECT_EQ(rgbAt(frame, at.first, at.second), rgb) << "at " << at.first << "," << at.second;
    }
}

INSTANTIATE_TEST_SUITE_P(Regions, RegionPixels,
                         ::testing::Values(PixelCase{"Whole",
                                                     {200, 300, 80, 60},
                                                     {80, 60},
                                                     {{{0, 0}, kRed},
                                                      {{39, 29}, kRed},
                                                      {{40, 0}, kGreen},
                                                      {{0, 30}, kBlue},
                                                      {{79, 59}, kWhite}}},
                                           PixelCase{"ScaledToHalf",
                                                     {200, 300, 80, 60},
                                                     {40, 30},
                                                     {{{10, 7}, kRed},
                                                      {{30, 7}, kGreen},
                                                      {{10, 22}, kBlue},
                                                      {{30, 22}, kWhite}}}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(X11CaptureSource, OnlyChangesInsideTheRegionMakeCompleteFrames) {
    ColorWindow inside("", kMonB + 400, 500, 64, 64);
    ColorWindow outside("", kMonB + 500, 500, 64, 64);
    Capture capture(request("MON-B", {400, 500, 64, 64}));
    ASSERT_EQ(capture.startError, std::nullopt);
    // A still region: its first frame is complete, then only idle ones come, about once a second.
    ASSERT_TRUE(capture.log.waitFor([](const auto& s) { return s.frames.size() > 1; }, 3s));
    EXPECT_EQ(capture.log.snapshot().completeFrames(), 1);
    outside.fill(kRed);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(capture.log.snapshot().completeFrames(), 1);
    inside.fill(kRed);
    EXPECT_TRUE(capture.log.waitFor([](const auto& s) { return s.completeFrames() == 2; }, 2s));
}

class Cursor : public ::testing::TestWithParam<bool> {};

TEST_P(Cursor, IsDrawnOnlyWhenAsked) {
    ColorWindow window("", kMonB + 700, 500, 64, 64);
    window.fill(0x808080);
    window.pointAt(32, 32);
    CaptureRequest asked = request("MON-B", {700, 500, 64, 64});
    asked.showsCursor = GetParam();
    Capture capture(asked);
    ASSERT_TRUE(capture.log.waitFor([](const auto& s) { return s.completeFrames() > 0; }));
    const VideoFrame frame = capture.log.snapshot().lastComplete;
    int changed = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            changed += rgbAt(frame, x, y) != 0x808080 ? 1 : 0;
        }
    }
    EXPECT_EQ(changed > 0, GetParam()) << changed << " pixels differ from the window";
}

INSTANTIATE_TEST_SUITE_P(Shown, Cursor, ::testing::Bool());

struct RefusalCase {
    const char* name;
    X11CaptureOptions options;
    const char* monitor;
    QRect region;
    Error::Kind kind;
    const char* detailMentions;
};

class StartRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(StartRefusals, AnswerWithTheKindAndTheSystemsWords) {
    const RefusalCase& c = GetParam();
    CaptureRequest asked = request(c.monitor, c.region);
    asked.capturesSound = true;
    Capture capture(asked, c.options);
    ASSERT_TRUE(capture.startError);
    EXPECT_EQ(capture.startError->kind, c.kind);
    EXPECT_FALSE(capture.startError->text.isEmpty());
    EXPECT_TRUE(capture.startError->detail.contains(QString::fromLatin1(c.detailMentions)))
        << capture.startError->detail.toStdString();
    EXPECT_TRUE(capture.log.snapshot().frames.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartRefusals,
    ::testing::Values(
        RefusalCase{
            "NoXServer", {":4321", ""}, "MON-A", {0, 0, 8, 8}, Error::Kind::noDisplay, ":4321"},
        RefusalCase{"NoSuchMonitor", {}, "MON-Z", {0, 0, 8, 8}, Error::Kind::noDisplay, "MON-Z"},
        RefusalCase{
            "RegionOffTheMonitor", {}, "MON-A", {1920, 0, 8, 8}, Error::Kind::failed, "MON-A"},
        RefusalCase{"NoSoundServer",
                    {"", "unix:/nonexistent/native"},
                    "MON-A",
                    {0, 0, 8, 8},
                    Error::Kind::failed,
                    "Connection refused"}),
    [](const auto& param) { return std::string(param.param.name); });

// Something the capture depends on goes away while it runs.
struct LossCase {
    const char* name;
    bool sound;
    std::function<void(PrivateXServer&, PrivatePulseServer*)> takeAway;
    const char* detailMentions;
};

class Losses : public ::testing::TestWithParam<LossCase> {};

TEST_P(Losses, EndTheCaptureWithOneReport) {
    PrivateXServer x(320, 240);
    x.setMonitor("P-1", 0, 0, 320, 240);
    std::optional<PrivatePulseServer> pulse;
    CaptureRequest asked = request("P-1", {0, 0, 64, 64});
    asked.capturesSound = GetParam().sound;
    if (asked.capturesSound) {
        ASSERT_EQ(pulse.emplace().failure(), "");
    }
    Capture capture(asked, {x.displayName(), pulse ? pulse->serverString() : ""});
    ASSERT_EQ(capture.startError, std::nullopt) << capture.startError->details().toStdString();
    ASSERT_TRUE(capture.log.waitFor([&](const auto& s) { return s.completeFrames() > 0; }));

    GetParam().takeAway(x, pulse ? &*pulse : nullptr);
    ASSERT_TRUE(capture.log.waitFor([](const auto& s) { return !s.stops.empty(); }, 5s));
    capture.log.seal();
    std::this_thread::sleep_for(300ms);
    const SinkLog::State state = capture.log.snapshot();
    ASSERT_EQ(state.stops.size(), 1u);
    EXPECT_EQ(state.stops[0].kind, Error::Kind::captureLost);
    EXPECT_TRUE(state.stops[0].detail.contains(QString::fromLatin1(GetParam().detailMentions)))
        << state.stops[0].detail.toStdString();
    EXPECT_EQ(state.callsAfterSeal, 0) << "the capture went on after its loss";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Losses,
    ::testing::Values(
        LossCase{"XServerKilled", false, [](auto& x, auto*) { x.kill(); }, "X connection"},
        LossCase{"MonitorDeleted", false, [](auto& x, auto*) { x.deleteMonitor("P-1"); }, "P-1"},
        LossCase{"SoundServerKilled", true, [](auto&, auto* pulse) { pulse->kill(SIGKILL); },
                 "Connection terminated"}),
    [](const auto& param) { return std::string(param.param.name); });

// The names of this process's threads.
std::multiset<std::string> threadNames() {
    std::multiset<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        names.insert(name);
    }
    return names;
}

TEST(X11CaptureSource, StopLetsNoSinkCallThroughOnceItReturns) {
    ColorWindow window("", kMonB + 900, 500, 64, 64);
    std::atomic<bool> painting = true;
    std::thread painter([&] {
        for (uint32_t rgb = 0; painting; rgb += 0x010203) {
            window.fill(rgb);
            std::this_thread::sleep_for(5ms);
        }
    });
    // Left idle, the session's sink lags by up to two seconds whenever a capture starts.
    const SoundPlayer keepsTheSinkPrompt("", "vsink");
    const size_t threadsBefore = threadNames().size();
    for (int round = 0; round < 3; ++round) {
        CaptureRequest asked = request("MON-B", {900, 500, 64, 64});
        asked.frameRate = 60;
        asked.capturesSound = true;
        // Each call takes a while, so that a stop often finds one under way.
        Capture capture(asked, {}, 3ms);
        ASSERT_EQ(capture.startError, std::nullopt) << capture.startError->details().toStdString();
        ASSERT_TRUE(capture.log.waitFor(
            [](const auto& s) { return s.completeFrames() > 3 && s.blocks.size() > 10; }));
        const std::multiset<std::string> threads = threadNames();
        EXPECT_EQ(threads.size(), threadsBefore + 2);
        EXPECT_EQ(threads.count("Vantorel.x11grb"), 1u);
        EXPECT_EQ(threads.count("Vantorel.sound"), 1u);

        std::this_thread::sleep_for(std::chrono::milliseconds(7 * round));
        capture.source->stop();
        capture.log.seal();
        std::this_thread::sleep_for(100ms);
        const SinkLog::State state = capture.log.snapshot();
        EXPECT_EQ(state.callsRunningAtSeal, 0) << "stop returned during a sink call";
        EXPECT_EQ(state.callsAfterSeal, 0) << "a sink call came after stop returned";
        EXPECT_TRUE(state.stops.empty());
    }
    painting = false;
    painter.join();
}

}  // namespace
}  // namespace vantorel::testing
