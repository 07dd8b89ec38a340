// A region wider than H.264 allows, on an X server of the test's own whose screen is that wide:
// the file is HEVC at the exact size and shows the region.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "color_window.h"
#include "engine_session.h"
#include "media_timeline.h"
#include "private_x_server.h"
#include "repainter.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 4200;
constexpr int kHeight = 600;
constexpr uint32_t kTopLeft = 0xC03030;
constexpr uint32_t kTopRight = 0x30C030;
constexpr uint32_t kBottomLeft = 0x3030C0;
constexpr uint32_t kBottomRight = 0xC0C030;

TEST(WideRegion, ARegionWiderThan4096PixelsIsRecordedAsHevc) {
    PrivateXServer server(kWidth, kHeight);
    server.setMonitor("WIDE", 0, 0, kWidth, kHeight);
    ScratchFolder folder;
    const auto output = folder.file("wide.mp4");
    EngineSession engine(server.displayName());
    const std::optional<CaptureDisplay> wide = engine.displayAt(0, 0);
    ASSERT_TRUE(wide) << "the capture service lists no display at 0,0";
    const CaptureRect region{0, 0, kWidth, kHeight};

    ColorWindow canvas(server.displayName(), EngineSession::rootRectFor(*wide, region), 0);
    canvas.quadrants(kTopLeft, kTopRight, kBottomLeft, kBottomRight);
    ColorWindow tickerWindow(server.displayName(),
                             PixelRect{kWidth / 2 - 8, kHeight / 2 - 8, 16, 16}, 0);
    Repainter ticker(tickerWindow, 50ms, Repainter::toggling(0x000000, 0xFFFFFF));

    ASSERT_EQ(engine.start(EngineSession::configFor(*wide, region, 30, false, output)), nullptr);
    ASSERT_TRUE(engine.log().waitForCompleteFrames(3));
    std::this_thread::sleep_for(1s);
    const std::optional<StopResult> result = engine.stop();
    ASSERT_TRUE(result) << "the stop never answered";
    ASSERT_EQ(result->error, nullptr) << result->error->textualDescription();
    ASSERT_EQ(result->url, output);

    const MediaProbe probe(output);
    const auto video = probe.streams("video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].at("codec_name"), "hevc");
    EXPECT_EQ(video[0].at("width"), std::to_string(kWidth));
    EXPECT_EQ(video[0].at("height"), std::to_string(kHeight));

    const auto frames = probe.decodedFrames();
    ASSERT_FALSE(frames.empty());
    const struct {
        int x;
        int y;
        uint32_t rgb;
    } corners[] = {{10, 10, kTopLeft},
                   {kWidth - 11, 10, kTopRight},
                   {10, kHeight - 11, kBottomLeft},
                   {kWidth - 11, kHeight - 11, kBottomRight}};
    for (const auto& corner : corners) {
        const uint32_t got = rgbAt(frames.front(), kWidth, corner.x, corner.y);
        EXPECT_TRUE(closeTo(got, corner.rgb, 12))
            << corner.x << "," << corner.y << ": " << hex(got) << " instead of " << hex(corner.rgb);
    }
}

}  // namespace
}  // namespace vantorel::testing
