// The parts of the X11 capture that need no server: geometry, pacing, the buffer pool, pixel
// conversion and the cursor's blending.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/x11/capture_geometry.h"
#include "platform/x11/cursor_tracker.h"
#include "platform/x11/frame_converter.h"
#include "platform/x11/frame_pacer.h"
#include "platform/x11/pixel_buffer_pool.h"

namespace vantorel {
namespace {

struct DeviceRectCase {
    const char* name;
    CaptureRect source;
    double scale;
    int originX;
    int originY;
    PixelRect expected;
};

void PrintTo(const DeviceRectCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceRectTest : public ::testing::TestWithParam<DeviceRectCase> {};

TEST_P(DeviceRectTest, MapsPointsToRootPixels) {
    const DeviceRectCase& c = GetParam();
    EXPECT_EQ(deviceRectFor(c.source, c.scale, c.originX, c.originY), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceRectTest,
    ::testing::Values(
        DeviceRectCase{"unscaled_first_display", {10, 20, 300, 200}, 1.0, 0, 0, {10, 20, 300, 200}},
        DeviceRectCase{
            "unscaled_second_display", {10, 20, 300, 200}, 1.0, 1920, 0, {1930, 20, 300, 200}},
        DeviceRectCase{"display_below", {0, 0, 64, 48}, 1.0, 0, 1080, {0, 1080, 64, 48}},
        DeviceRectCase{"scale_two", {50, 50, 32, 24}, 2.0, 1920, 0, {2020, 100, 64, 48}},
        DeviceRectCase{"fractional_scale_rounds_edges", {1, 1, 3, 3}, 1.5, 0, 0, {2, 2, 4, 4}},
        DeviceRectCase{
            "fractional_points", {0.4, 0.6, 10.2, 9.8}, 1.0, 100, 100, {100, 101, 11, 9}},
        DeviceRectCase{"negative_origin", {0, 0, 100, 100}, 1.0, -1920, 0, {-1920, 0, 100, 100}},
        DeviceRectCase{"empty", {5, 5, 0, 10}, 1.0, 0, 0, {5, 5, 0, 10}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(CaptureGeometry, AdjacentRectanglesShareEdgesAtFractionalScale) {
    const PixelRect left = deviceRectFor({0, 0, 33.3, 10}, 1.25, 0, 0);
    const PixelRect right = deviceRectFor({33.3, 0, 33.3, 10}, 1.25, 0, 0);
    EXPECT_EQ(left.right(), right.x);
}

struct IntersectionCase {
    PixelRect a;
    PixelRect b;
    PixelRect expected;
};

void PrintTo(const PixelRect& r, std::ostream* os) {
    *os << r.x << "," << r.y << " " << r.width << "x" << r.height;
}
void PrintTo(const IntersectionCase& c, std::ostream* os) {
    PrintTo(c.a, os);
    *os << " & ";
    PrintTo(c.b, os);
}

class IntersectionTest : public ::testing::TestWithParam<IntersectionCase> {};

TEST_P(IntersectionTest, OverlapIsSymmetric) {
    const IntersectionCase& c = GetParam();
    EXPECT_EQ(intersection(c.a, c.b), c.expected);
    EXPECT_EQ(intersection(c.b, c.a), c.expected);
    EXPECT_EQ(intersects(c.a, c.b), !c.expected.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, IntersectionTest,
    ::testing::Values(IntersectionCase{{0, 0, 10, 10}, {5, 5, 10, 10}, {5, 5, 5, 5}},
                      IntersectionCase{{0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}},
                      IntersectionCase{{0, 0, 10, 10}, {10, 0, 5, 5}, {}},  // touching edges
                      IntersectionCase{{0, 0, 10, 10}, {0, 10, 5, 5}, {}},
                      IntersectionCase{{0, 0, 10, 10}, {9, 9, 5, 5}, {9, 9, 1, 1}},
                      IntersectionCase{{-5, -5, 10, 10}, {0, 0, 10, 10}, {0, 0, 5, 5}},
                      IntersectionCase{{0, 0, 0, 0}, {0, 0, 10, 10}, {}}));

TEST(CaptureGeometry, DisplayFrameKeepsPixelOriginAndDividesSize) {
    const CaptureRect frame = displayFrameInPoints(1920, 0, 3840, 2160, 2.0);
    EXPECT_DOUBLE_EQ(frame.x, 1920);
    EXPECT_DOUBLE_EQ(frame.y, 0);
    EXPECT_DOUBLE_EQ(frame.width, 1920);
    EXPECT_DOUBLE_EQ(frame.height, 1080);
    const CaptureRect unscaled = displayFrameInPoints(0, 1080, 1280, 720, 0.0);  // bad scale: 1
    EXPECT_DOUBLE_EQ(unscaled.width, 1280);
    EXPECT_DOUBLE_EQ(unscaled.y, 1080);
}

using Clock = FramePacer::Clock;
using std::chrono::milliseconds;

TEST(FramePacer, FirstFrameIsCompleteThenIdleOnlyAfterTheInterval) {
    FramePacer pacer(milliseconds(1000));
    const Clock::time_point t0{};
    EXPECT_EQ(pacer.due(t0), FrameStatus::complete);
    pacer.delivered(FrameStatus::complete, t0);
    EXPECT_EQ(pacer.due(t0 + milliseconds(999)), std::nullopt);
    EXPECT_EQ(pacer.due(t0 + milliseconds(1000)), FrameStatus::idle);
    pacer.delivered(FrameStatus::idle, t0 + milliseconds(1000));
    EXPECT_EQ(pacer.due(t0 + milliseconds(1500)), std::nullopt);
}

TEST(FramePacer, ChangeMakesTheNextFrameCompleteAndOnlyThatOne) {
    FramePacer pacer(milliseconds(1000));
    const Clock::time_point t0{};
    pacer.delivered(FrameStatus::complete, t0);
    pacer.markChanged();
    EXPECT_EQ(pacer.due(t0 + milliseconds(16)), FrameStatus::complete);
    pacer.delivered(FrameStatus::complete, t0 + milliseconds(16));
    EXPECT_EQ(pacer.due(t0 + milliseconds(32)), std::nullopt);
}

TEST(FramePacer, ChangeStaysPendingUntilACompleteFrameGoesOut) {
    FramePacer pacer(milliseconds(1000));
    const Clock::time_point t0{};
    pacer.delivered(FrameStatus::complete, t0);
    pacer.markChanged();
    // Nothing delivered (no free buffer): still due at every later tick.
    EXPECT_EQ(pacer.due(t0 + milliseconds(16)), FrameStatus::complete);
    EXPECT_EQ(pacer.due(t0 + milliseconds(32)), FrameStatus::complete);
    // An idle frame that went out does not clear it either.
    pacer.delivered(FrameStatus::idle, t0 + milliseconds(40));
    EXPECT_EQ(pacer.due(t0 + milliseconds(48)), FrameStatus::complete);
}

TEST(PixelBufferPool, HandsOutAtMostCapacityAndTakesBuffersBack) {
    PixelBufferPool pool(3, 8, 4);
    auto a = pool.acquire();
    auto b = pool.acquire();
    auto c = pool.acquire();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->width, 8);
    EXPECT_EQ(a->height, 4);
    EXPECT_EQ(a->bytesPerRow, 32);
    EXPECT_EQ(a->bytes.size(), 128u);
    EXPECT_EQ(pool.acquire(), nullptr);
    EXPECT_EQ(pool.available(), 0);
    PixelBuffer* reused = b.get();
    b.reset();
    EXPECT_EQ(pool.available(), 1);
    auto d = pool.acquire();
    EXPECT_EQ(d.get(), reused);
}

TEST(PixelBufferPool, BufferIsHeldUntilItsLastReferenceGoes) {
    PixelBufferPool pool(1, 2, 2);
    std::shared_ptr<const PixelBuffer> first = pool.acquire();
    std::shared_ptr<const PixelBuffer> copy = first;
    first.reset();
    EXPECT_EQ(pool.acquire(), nullptr);
    copy.reset();
    EXPECT_NE(pool.acquire(), nullptr);
}

TEST(PixelBufferPool, BuffersOutliveThePool) {
    std::shared_ptr<PixelBuffer> survivor;
    {
        PixelBufferPool pool(2, 4, 4);
        survivor = pool.acquire();
    }
    survivor->bytes[0] = 7;  // still valid memory; freed when released (checked by ASan)
    survivor.reset();
}

std::vector<uint8_t> bgrxImage(int width, int height, uint32_t (*pattern)(int, int)) {
    std::vector<uint8_t> image(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = pattern(x, y);  // 0x00RRGGBB, X byte left 0 as on Xvfb
            std::memcpy(&image[(static_cast<size_t>(y) * width + x) * 4], &pixel, 4);
        }
    }
    return image;
}

PixelBuffer bufferOf(int width, int height) {
    PixelBuffer buffer;
    buffer.width = width;
    buffer.height = height;
    buffer.bytesPerRow = width * 4;
    buffer.bytes.assign(static_cast<size_t>(buffer.bytesPerRow) * height, 0xCD);
    return buffer;
}

uint32_t pixelAt(const PixelBuffer& buffer, int x, int y) {
    uint32_t value;
    std::memcpy(&value, buffer.bytes.data() + static_cast<size_t>(y) * buffer.bytesPerRow + 4 * x,
                4);
    return value;
}

uint32_t gradient(int x, int y) {
    return static_cast<uint32_t>((x * 16) << 16 | (y * 16) << 8 | 0x40);
}

uint32_t halves(int x, int) {
    return x < 8 ? 0x00FF0000u : 0x000000FFu;
}

TEST(FrameConverter, SameSizeCopiesEveryPixelAndMakesItOpaque) {
    const auto source = bgrxImage(5, 3, gradient);
    PixelBuffer out = bufferOf(5, 3);
    convertFrame(source.data(), 5, 3, out);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(pixelAt(out, x, y), gradient(x, y) | 0xFF000000u) << x << "," << y;
        }
    }
}

struct ScaleCase {
    int sourceWidth;
    int sourceHeight;
    int width;
    int height;
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << c.sourceWidth << "x" << c.sourceHeight << "->" << c.width << "x" << c.height;
}

class FrameScaleTest : public ::testing::TestWithParam<ScaleCase> {};

// Bilinear scaling in fixed point may be off by a step or two, even in solid areas.
bool nearColour(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int da = static_cast<int>((a >> shift) & 0xFF);
        const int db = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(da - db) > 3) {
            return false;
        }
    }
    return true;
}

TEST_P(FrameScaleTest, KeepsSolidAreasAndFillsTheBuffer) {
    const ScaleCase& c = GetParam();
    const auto source = bgrxImage(c.sourceWidth, c.sourceHeight, halves);
    PixelBuffer out = bufferOf(c.width, c.height);
    convertFrame(source.data(), c.sourceWidth, c.sourceHeight, out);
    for (int y = 0; y < c.height; ++y) {
        EXPECT_PRED2(nearColour, pixelAt(out, 0, y), 0xFFFF0000u) << "left edge, row " << y;
        EXPECT_PRED2(nearColour, pixelAt(out, c.width - 1, y), 0xFF0000FFu)
            << "right edge, row " << y;
        for (int x = 0; x < c.width; ++x) {
            ASSERT_EQ(pixelAt(out, x, y) >> 24, 0xFFu) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FrameScaleTest,
                         ::testing::Values(ScaleCase{16, 8, 8, 4}, ScaleCase{16, 8, 32, 16},
                                           ScaleCase{16, 8, 13, 5}, ScaleCase{16, 8, 40, 3}));

TEST(CursorBlend, OpaqueAndTranslucentPixelsOverTheFrame) {
    CursorImage cursor;
    cursor.width = 2;
    cursor.height = 2;
    cursor.hotX = 1;
    cursor.hotY = 1;
    // Premultiplied ARGB: opaque white, transparent, half-transparent black, opaque red.
    cursor.pixels = {0xFFFFFFFFu, 0x00000000u, 0x80000000u, 0xFFFF0000u};
    const PixelRect frameRect{100, 200, 4, 4};
    std::vector<uint8_t> frame = bgrxImage(4, 4, [](int, int) { return 0x00204060u; });
    blendCursor(cursor, 102, 202, frameRect, frame.data());  // cursor's top-left at (101, 201)
    const auto at = [&](int x, int y) {
        uint32_t v;
        std::memcpy(&v, &frame[(static_cast<size_t>(y) * 4 + x) * 4], 4);
        return v & 0xFFFFFF;
    };
    EXPECT_EQ(at(1, 1), 0xFFFFFFu);
    EXPECT_EQ(at(2, 1), 0x204060u);
    EXPECT_EQ(at(1, 2), 0x102030u);  // half of the background
    EXPECT_EQ(at(2, 2), 0xFF0000u);
    EXPECT_EQ(at(0, 0), 0x204060u);
    EXPECT_EQ(at(3, 3), 0x204060u);
}

TEST(CursorBlend, CursorPartlyOutsideTheFrameIsCutOff) {
    CursorImage cursor;
    cursor.width = 3;
    cursor.height = 3;
    cursor.pixels.assign(9, 0xFF00FF00u);
    const PixelRect frameRect{10, 10, 2, 2};
    std::vector<uint8_t> frame = bgrxImage(2, 2, [](int, int) { return 0u; });
    blendCursor(cursor, 8, 8, frameRect, frame.data());  // covers (8..10, 8..10)
    uint32_t first;
    uint32_t last;
    std::memcpy(&first, frame.data(), 4);
    std::memcpy(&last, frame.data() + 12, 4);
    EXPECT_EQ(first & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(last & 0xFFFFFF, 0u);
    blendCursor(cursor, 100, 100, frameRect, frame.data());  // far away: nothing happens
    std::memcpy(&last, frame.data() + 12, 4);
    EXPECT_EQ(last & 0xFFFFFF, 0u);
}

}  // namespace
}  // namespace vantorel
