#include "selection/selection_math.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(SelectionMathTest, RoundingKeepsHalvesAwayFromZeroAndFloorGoesDown) {
    struct Case {
        double value;
        int64_t rounded;
        int64_t floored;
    };
    const Case cases[] = {
        {2.5, 3, 2},    {-2.5, -3, -3}, {2.4999, 2, 2}, {0.5, 1, 0},
        {-0.5, -1, -1}, {1.5, 2, 1},    {-1.2, -1, -2}, {7.0, 7, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(roundToInt(c.value), c.rounded) << c.value;
        EXPECT_EQ(floorToInt(c.value), c.floored) << c.value;
    }
}

TEST(SelectionMathTest, ClampPointIncludesEdges) {
    const QRectF bounds(0, 0, 1440, 900);
    EXPECT_EQ(clampPoint({-50, 2000}, bounds), QPointF(0, 900));
    EXPECT_EQ(clampPoint({1440, 900}, bounds), QPointF(1440, 900));
    EXPECT_EQ(clampPoint({700.5, 3.25}, bounds), QPointF(700.5, 3.25));
    EXPECT_EQ(clampPoint({2000, -1}, bounds), QPointF(1440, 0));
}

TEST(SelectionMathTest, PlaceRectPushesInsideWithoutResizing) {
    const QRectF bounds(0, 0, 1440, 900);
    EXPECT_EQ(placeRect({1300, 50}, {200, 100}, bounds), QRectF(1240, 50, 200, 100));
    EXPECT_EQ(placeRect({-30, -5}, {200, 100}, bounds), QRectF(0, 0, 200, 100));
    EXPECT_EQ(placeRect({100, 850}, {200, 100}, bounds), QRectF(100, 800, 200, 100));
    // Wider than the bounds: the minimum is applied last, so the origin goes negative.
    EXPECT_EQ(placeRect({10, 0}, {1500, 100}, bounds), QRectF(-60, 0, 1500, 100));
}

TEST(SelectionMathTest, EvenExtentGivesEvenPixelCountsOfAtLeastTwo) {
    struct Case {
        double length;
        double scale;
        double points;
    };
    const Case cases[] = {
        {50.3, 2.0, 50.0},                         // 100.6 px -> 2 * round(50.3) = 100
        {30.2, 2.0, 30.0},   {1.0, 1.0, 2.0},      // 2 * round(0.5) = 2
        {0.0, 1.0, 2.0},                           // at least 2 pixels
        {0.2, 2.0, 1.0},     {101.0, 1.0, 102.0},  // 2 * round(50.5) = 102
        {100.9, 1.0, 100.0},                       // 2 * round(50.45) = 100
        {10.75, 2.0, 11.0},                        // 2 * round(10.75) = 22 px
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(evenExtent(c.length, c.scale), c.points)
            << c.length << " at scale " << c.scale;
    }
}

TEST(SelectionMathTest, PixelSizeRoundsEachSide) {
    EXPECT_EQ(pixelSize(QRectF(0, 0, 960, 540), 2.0), std::make_pair(int64_t{1920}, int64_t{1080}));
    EXPECT_EQ(pixelSize(QRectF(0, 0, 10.25, 10.75), 2.0), std::make_pair(int64_t{21}, int64_t{22}));
    EXPECT_EQ(pixelSize(QRectF(0, 0, 1920.5, 3.4), 1.0), std::make_pair(int64_t{1921}, int64_t{3}));
}

TEST(SelectionMathTest, SnapOriginMovesToWholePixelsOnly) {
    EXPECT_EQ(snapOrigin(QRectF(10.3, 10.8, 50, 30), 2.0), QRectF(10.5, 11.0, 50, 30));
    EXPECT_EQ(snapOrigin(QRectF(10.3, 10.5, 50, 30), 1.0), QRectF(10, 11, 50, 30));
    EXPECT_EQ(snapOrigin(QRectF(-0.5, 4.0, 7, 7), 1.0), QRectF(-1, 4, 7, 7));
}

TEST(SelectionMathTest, ContainsIsHalfOpen) {
    const QRectF rect(100, 100, 200, 100);
    EXPECT_TRUE(containsHalfOpen(rect, {100, 100}));
    EXPECT_TRUE(containsHalfOpen(rect, {299.99, 199.99}));
    EXPECT_FALSE(containsHalfOpen(rect, {300, 150}));
    EXPECT_FALSE(containsHalfOpen(rect, {150, 200}));
    EXPECT_FALSE(containsHalfOpen(rect, {99.99, 150}));
}

}  // namespace
}  // namespace vantorel
