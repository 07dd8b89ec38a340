// A region of the headless session's screen recorded while a client paints known colours at
// known times: the file is H.264 High at the region's size, has key frames often enough, lasts
// from the first frame to the stop, and shows each colour when it was on the screen.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "color_window.h"
#include "colour_schedule.h"
#include "engine_session.h"
#include "media_timeline.h"
#include "repainter.h"
#include "session_fixture.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr CaptureRect kRegion{100, 200, 640, 360};  // on MON-B
constexpr auto kRecordingLength = 3s;
constexpr auto kColourPeriod = 450ms;
const std::vector<uint32_t> kColours{0xD02020, 0x20C040, 0x3030D0, 0xD0C020, 0x20C0C0, 0xC020C0};
// The corner where a small window keeps changing, so that frames keep coming at the full rate.
constexpr int kTickerSide = 24;
constexpr int kColourTolerance = 12;

struct RateCase {
    const char* name;
    int64_t frameRate;
};

void PrintTo(const RateCase& c, std::ostream* os) {
    *os << c.name;
}

class RegionRecordingTest : public ::testing::TestWithParam<RateCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(headlessSessionPresent())
            << "needs the X server of scripts/headless-session.sh (monitors MON-A and MON-B)";
    }
};

TEST_P(RegionRecordingTest, TheFileShowsTheRegionAsItWasPainted) {
    const int64_t rate = GetParam().frameRate;
    const double frame = 1.0 / static_cast<double>(rate);
    ScratchFolder folder;
    const auto output = folder.file("region.mp4");
    EngineSession engine;
    const std::optional<CaptureDisplay> monB = engine.displayAt(1920, 0);
    ASSERT_TRUE(monB) << "the capture service lists no display at 1920,0";
    const PixelRect root = EngineSession::rootRectFor(*monB, kRegion);

    ColorWindow canvas("", root, 0);
    ColourSchedule schedule(canvas, kColours, kColourPeriod);
    ColorWindow tickerWindow("", PixelRect{root.x, root.y, kTickerSide, kTickerSide}, 0);
    Repainter ticker(tickerWindow, 5ms, Repainter::toggling(0x000000, 0xFFFFFF));

    ASSERT_EQ(engine.start(EngineSession::configFor(*monB, kRegion, rate, false, output)), nullptr);
    const auto started = std::chrono::steady_clock::now();
    schedule.begin();
    ASSERT_TRUE(engine.log().waitForCompleteFrames(1));
    ASSERT_TRUE(schedule.waitUntilDrawn());
    std::this_thread::sleep_until(started + kRecordingLength);
    // Enough frames to see the key-frame interval, however slowly a busy machine delivers them.
    ASSERT_TRUE(engine.log().waitForCompleteFrames(static_cast<size_t>(2 * rate + rate / 2)));
    const std::optional<StopResult> result = engine.stop();
    ASSERT_TRUE(result) << "the stop never answered";
    ASSERT_EQ(result->error, nullptr) << result->error->textualDescription();
    ASSERT_EQ(result->url, output);

    const MediaProbe probe(output);
    const auto video = probe.streams("video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].at("codec_name"), "h264");
    EXPECT_EQ(video[0].at("profile"), "High");
    EXPECT_EQ(video[0].at("width"), "640");
    EXPECT_EQ(video[0].at("height"), "360");
    EXPECT_TRUE(probe.streams("audio").empty()) << "sound was off, yet the file has a sound track";

    // A key frame at least every two seconds' worth of frames.
    const auto packets = probe.videoPackets();
    ASSERT_FALSE(packets.empty());
    EXPECT_TRUE(packets.front().key);
    const size_t keyInterval = static_cast<size_t>(2 * rate);
    EXPECT_GT(packets.size(), keyInterval)
        << "too few frames were written to see the key-frame interval";
    size_t sinceKey = 0;
    for (size_t i = 0; i < packets.size(); ++i) {
        sinceKey = packets[i].key ? 0 : sinceKey + 1;
        EXPECT_LT(sinceKey, keyInterval) << "no key frame for " << sinceKey << " frames at " << i;
    }

    // The file lasts from its first frame to the moment the engine finished it.
    const MediaTime first = engine.log().firstCompleteFrame();
    const double expected = (engine.timelineEnd().nanoseconds() - first.nanoseconds()) / 1e9;
    const std::optional<double> duration = probe.duration();
    ASSERT_TRUE(duration);
    std::printf("%lld fps: %zu frames, duration %.4f s, stop - first frame %.4f s\n",
                static_cast<long long>(rate), packets.size(), *duration, expected);
    EXPECT_NEAR(*duration, expected, frame);

    // Every frame away from a change shows the colour that was on the screen at its time.
    const auto frames = probe.decodedFrames();
    const std::vector<double> times = frameTimes(probe);
    ASSERT_EQ(frames.size(), times.size());
    const auto slack = std::chrono::nanoseconds(static_cast<int64_t>(frame * 1e9));
    std::set<uint32_t> seen;
    size_t checked = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const MediaTime at =
            MediaTime::fromNanoseconds(first.nanoseconds() + static_cast<int64_t>(times[i] * 1e9));
        const std::optional<uint32_t> want = schedule.colourAt(at, slack);
        if (!want) {
            continue;
        }
        ++checked;
        seen.insert(*want);
        // The middle and the three corners without the ticker: the region is exactly the canvas.
        const std::pair<int, int> points[] = {{320, 180}, {639, 0}, {0, 359}, {639, 359}};
        for (const auto& [x, y] : points) {
            const uint32_t got = rgbAt(frames[i], 640, x, y);
            EXPECT_TRUE(closeTo(got, *want, kColourTolerance))
                << "frame " << i << " at " << times[i] << " s, pixel " << x << "," << y << ": "
                << hex(got) << " instead of " << hex(*want);
        }
    }
    EXPECT_EQ(seen.size(), kColours.size()) << "only " << seen.size() << " colours were checked";
    EXPECT_GT(checked, frames.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(Rates, RegionRecordingTest,
                         ::testing::Values(RateCase{"At30", 30}, RateCase{"At60", 60}),
                         [](const ::testing::TestParamInfo<RateCase>& rate) {
                             return std::string(rate.param.name);
                         });

}  // namespace
}  // namespace vantorel::testing
