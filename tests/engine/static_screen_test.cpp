// A region where nothing changes: the engine writes its one picture and holds it until the
// stop, so the file still lasts as long as the recording.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "color_window.h"
#include "engine_session.h"
#include "media_timeline.h"
#include "session_fixture.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr CaptureRect kRegion{1000, 100, 320, 240};  // on MON-A
constexpr uint32_t kColour = 0x3C78B4;

TEST(StaticScreen, AStillRegionWritesOneFrameThatLastsUntilTheStop) {
    ASSERT_TRUE(headlessSessionPresent())
        << "needs the X server of scripts/headless-session.sh (monitors MON-A and MON-B)";
    ScratchFolder folder;
    const auto output = folder.file("still.mp4");
    EngineSession engine;
    const std::optional<CaptureDisplay> monA = engine.displayAt(0, 0);
    ASSERT_TRUE(monA) << "the capture service lists no display at 0,0";
    ColorWindow canvas("", EngineSession::rootRectFor(*monA, kRegion), 0);
    canvas.fill(kColour);

    ASSERT_EQ(engine.start(EngineSession::configFor(*monA, kRegion, 30, false, output)), nullptr);
    ASSERT_TRUE(engine.log().waitForCompleteFrames(1));
    std::this_thread::sleep_for(2s);
    const std::optional<StopResult> result = engine.stop();
    ASSERT_TRUE(result) << "the stop never answered";
    ASSERT_EQ(result->error, nullptr) << result->error->textualDescription();
    ASSERT_EQ(result->url, output);
    EXPECT_EQ(engine.log().completeFrames(), 1u) << "something changed in the region";

    const MediaProbe probe(output);
    const auto packets = probe.videoPackets();
    EXPECT_EQ(packets.size(), 1u);
    const auto frames = probe.decodedFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(closeTo(rgbAt(frames[0], 320, 160, 120), kColour, 12))
        << hex(rgbAt(frames[0], 320, 160, 120));

    const double expected =
        (engine.timelineEnd().nanoseconds() - engine.log().firstCompleteFrame().nanoseconds()) /
        1e9;
    const std::optional<double> duration = probe.duration();
    ASSERT_TRUE(duration);
    std::printf("one frame, duration %.4f s, stop - first frame %.4f s\n", *duration, expected);
    EXPECT_GT(expected, 1.9);
    EXPECT_NEAR(*duration, expected, 1.0 / 30);
}

}  // namespace
}  // namespace vantorel::testing
