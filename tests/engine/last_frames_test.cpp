// A stop while the recorder is still behind: every frame the stream handed over before it
// stopped is taken in, none is skipped because the stream is gone by the time it comes up.
#include <gtest/gtest.h>

#include "color_window.h"
#include "engine_session.h"
#include "repainter.h"
#include "session_fixture.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr CaptureRect kRegion{100, 600, 320, 240};  // on MON-A

TEST(LastFrames, EveryFrameDeliveredBeforeTheStopReachesTheRecorder) {
    ASSERT_TRUE(headlessSessionPresent()) << "needs the X server of scripts/headless-session.sh";
    ScratchFolder folder;
    EngineSession engine({}, 40ms);  // a recorder far slower than 60 frames a second
    const std::optional<CaptureDisplay> monA = engine.displayAt(0, 0);
    ASSERT_TRUE(monA);
    ColorWindow canvas("", EngineSession::rootRectFor(*monA, kRegion), 0);
    Repainter repainter(canvas, 10ms, Repainter::toggling(0x102030, 0x405060));

    ASSERT_EQ(engine.start(EngineSession::configFor(*monA, kRegion, 60, false,
                                                    folder.file("late.mp4"))),
              nullptr);
    ASSERT_TRUE(engine.log().waitForCompleteFrames(10));
    const std::optional<StopResult> result = engine.stop();
    ASSERT_TRUE(result && result->url);
    EXPECT_GT(engine.deliveredFrames(), 11u) << "frames were still waiting at the stop";
    EXPECT_EQ(engine.log().completeFrames(), engine.deliveredFrames());
}

}  // namespace
}  // namespace vantorel::testing
