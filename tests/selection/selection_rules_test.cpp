#include "selection/selection_rules.h"

#include <gtest/gtest.h>

#include <ostream>

#include <optional>
#include <string>

namespace vantorel {
namespace {

const QRectF kView(0, 0, 1440, 900);

// ---- press ----

TEST(PressRuleTest, HandleWinsOverInterior) {
    const QRectF rect(100, 100, 200, 100);
    const auto outcome = pressRule({105, 104}, rect, true, kView);
    EXPECT_FALSE(outcome.startsNewSelection);
    EXPECT_EQ(outcome.drag, DragMode(drag::Resizing{Handle::topLeft, rect}));
}

TEST(PressRuleTest, InteriorAwayFromHandlesMoves) {
    const QRectF rect(100, 100, 200, 100);
    const auto outcome = pressRule({200, 150}, rect, true, kView);
    EXPECT_FALSE(outcome.startsNewSelection);
    EXPECT_EQ(outcome.drag, DragMode(drag::Moving{{200, 150}, rect}));
}

TEST(PressRuleTest, OutsideStartsNewSelectionAtPressPoint) {
    const auto outcome = pressRule({600, 700}, QRectF(100, 100, 200, 100), true, kView);
    EXPECT_TRUE(outcome.startsNewSelection);
    EXPECT_EQ(outcome.drag, DragMode(drag::Creating{{600, 700}}));
}

TEST(PressRuleTest, RightEdgeAwayFromHandlesIsOutside) {
    // (300, 125) is 25 points from the right handle and on the excluded right edge.
    const auto outcome = pressRule({300, 125}, QRectF(100, 100, 200, 100), true, kView);
    EXPECT_TRUE(outcome.startsNewSelection);
}

TEST(PressRuleTest, SelectionOnAnotherScreenIsIgnored) {
    const QRectF rect(100, 100, 200, 100);
    const auto outcome = pressRule({200, 150}, rect, false, kView);
    EXPECT_TRUE(outcome.startsNewSelection);
    EXPECT_EQ(outcome.drag, DragMode(drag::Creating{{200, 150}}));
}

TEST(PressRuleTest, AnchorIsClampedIntoView) {
    const auto outcome = pressRule({-3, 905}, std::nullopt, true, kView);
    EXPECT_EQ(outcome.drag, DragMode(drag::Creating{{0, 900}}));
}

// ---- drag ----

struct DragCase {
    const char* name;
    DragMode drag;
    QPointF point;
    double scale;
    std::optional<QRectF> expected;
};

// Test names and failure messages show the case by its name.
void PrintTo(const DragCase& c, std::ostream* os) {
    *os << c.name;
}

class DragRuleTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(DragRuleTest, ShapesSelection) {
    const auto& c = GetParam();
    const auto outcome = dragRule(c.point, c.drag, kView, c.scale);
    EXPECT_TRUE(outcome.changed);
    ASSERT_EQ(outcome.rect.has_value(), c.expected.has_value());
    if (c.expected) {
        EXPECT_EQ(*outcome.rect, *c.expected)
            << "got " << outcome.rect->x() << "," << outcome.rect->y() << " "
            << outcome.rect->width() << "x" << outcome.rect->height();
    }
}

const QRectF kStart(400, 300, 200, 100);  // L 400, R 600, T 300, B 400

INSTANTIATE_TEST_SUITE_P(
    Cases, DragRuleTest,
    ::testing::Values(
        // Creating.
        DragCase{"createScale2",
                 drag::Creating{{100, 100}},
                 {150.3, 130.2},
                 2.0,
                 QRectF(100, 100, 50, 30)},
        DragCase{
            "createOnePointAway", drag::Creating{{10, 10}}, {11, 10.5}, 1.0, QRectF(10, 10, 2, 2)},
        DragCase{"createInsideOnePointSquare",
                 drag::Creating{{10, 10}},
                 {10.9, 10.9},
                 1.0,
                 std::nullopt},
        DragCase{"createBackAtAnchor", drag::Creating{{10, 10}}, {10, 10}, 1.0, std::nullopt},
        DragCase{
            "createUpLeft", drag::Creating{{300, 300}}, {200, 250}, 1.0, QRectF(200, 250, 100, 50)},
        DragCase{"createUpRight",
                 drag::Creating{{300, 300}},
                 {420, 250},
                 1.0,
                 QRectF(300, 250, 120, 50)},
        DragCase{"createDownLeft",
                 drag::Creating{{300, 300}},
                 {199, 361},
                 1.0,
                 QRectF(198, 300, 102, 62)},
        DragCase{"createClampedOffScreen",
                 drag::Creating{{10, 10}},
                 {-50, 2000},
                 1.0,
                 QRectF(0, 10, 10, 890)},
        DragCase{"createOddPointsEvenPixels",
                 drag::Creating{{0, 0}},
                 {101, 33},
                 1.0,
                 QRectF(0, 0, 102, 34)},
        DragCase{"createRoundedPastEdgeIsPlaced",
                 drag::Creating{{1, 0}},
                 {1440, 899},
                 1.0,
                 QRectF(0, 0, 1440, 900)},
        DragCase{
            "createThinStrip", drag::Creating{{50, 50}}, {50.2, 400}, 1.0, QRectF(50, 50, 2, 350)},
        // Moving: the pointer is not clamped, the size never changes.
        DragCase{"movePastRightEdge",
                 drag::Moving{{500, 350}, kStart},
                 {1500, 350},
                 1.0,
                 QRectF(1240, 300, 200, 100)},
        DragCase{"movePastTopLeft",
                 drag::Moving{{500, 350}, kStart},
                 {-900, -900},
                 1.0,
                 QRectF(0, 0, 200, 100)},
        DragCase{"moveKeepsFractions",
                 drag::Moving{{500, 350}, kStart},
                 {510.25, 340.5},
                 2.0,
                 QRectF(410.25, 290.5, 200, 100)},
        // Resizing.
        DragCase{"resizeBottomRight",
                 drag::Resizing{Handle::bottomRight, kStart},
                 {700, 500},
                 1.0,
                 QRectF(400, 300, 300, 200)},
        DragCase{"resizeTopLeftKeepsOppositeCorner",
                 drag::Resizing{Handle::topLeft, kStart},
                 {351, 251},
                 1.0,
                 QRectF(350, 250, 250, 150)},
        DragCase{"resizeLeftPastRightEdge",
                 drag::Resizing{Handle::left, kStart},
                 {900, 350},
                 1.0,
                 QRectF(580, 300, 20, 100)},
        DragCase{"resizeRightPastLeftEdge",
                 drag::Resizing{Handle::right, kStart},
                 {10, 350},
                 1.0,
                 QRectF(400, 300, 20, 100)},
        DragCase{"resizeTopPastBottom",
                 drag::Resizing{Handle::top, kStart},
                 {500, 890},
                 1.0,
                 QRectF(400, 380, 200, 20)},
        DragCase{"resizeBottomPastTop",
                 drag::Resizing{Handle::bottom, kStart},
                 {500, -40},
                 1.0,
                 QRectF(400, 300, 200, 20)},
        DragCase{"resizeTopRightClampedToScreen",
                 drag::Resizing{Handle::topRight, kStart},
                 {2000, -100},
                 1.0,
                 QRectF(400, 0, 1040, 400)},
        DragCase{"resizeBottomLeftScale2",
                 drag::Resizing{Handle::bottomLeft, kStart},
                 {300.3, 450.2},
                 2.0,
                 QRectF(300, 300, 300, 150)},
        DragCase{"resizeTopMakesOddWidthEven",
                 drag::Resizing{Handle::top, QRectF(100, 100, 960.5, 540)},
                 {500, 90},
                 2.0,
                 QRectF(100, 90, 961, 550)},
        DragCase{"resizeLeftMakesOddHeightEven",
                 drag::Resizing{Handle::left, QRectF(100, 100, 300, 201)},
                 {90, 150},
                 1.0,
                 QRectF(90, 100, 310, 202)}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DragRuleTest, NoneChangesNothing) {
    const auto outcome = dragRule({10, 10}, drag::None{}, kView, 1.0);
    EXPECT_FALSE(outcome.changed);
}

// ---- release ----

TEST(ReleaseRuleTest, KeepsAndSnapsOrDiscards) {
    struct Case {
        const char* name;
        std::optional<QRectF> rect;
        double scale;
        std::optional<QRectF> expected;
    };
    const Case cases[] = {
        {"tooNarrow", QRectF(10, 10, 19.9, 300), 1.0, std::nullopt},
        {"tooShort", QRectF(10, 10, 300, 19.9), 1.0, std::nullopt},
        {"minimumStays", QRectF(10, 10, 20, 20), 1.0, QRectF(10, 10, 20, 20)},
        {"snapsAtScale2", QRectF(10.3, 10.8, 50, 30), 2.0, QRectF(10.5, 11.0, 50, 30)},
        {"snapsAtScale1", QRectF(10.5, 10.49, 50, 30), 1.0, QRectF(11, 10, 50, 30)},
        {"snapThenPlace", QRectF(1339.6, 0, 100.5, 30), 1.0, QRectF(1339.5, 0, 100.5, 30)},
        {"absent", std::nullopt, 1.0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto kept = releaseRule(c.rect, kView, c.scale);
        ASSERT_EQ(kept.has_value(), c.expected.has_value());
        if (kept) {
            EXPECT_EQ(*kept, *c.expected);
        }
    }
}

// ---- presets ----

struct PresetCase {
    const char* name;
    int64_t width;
    int64_t height;
    QRectF current;
    QRectF view;
    double scale;
    QRectF expected;
    bool fitted;
};

// Test names and failure messages show the case by its name.
void PrintTo(const PresetCase& c, std::ostream* os) {
    *os << c.name;
}

class PresetRuleTest : public ::testing::TestWithParam<PresetCase> {};

TEST_P(PresetRuleTest, PlacesPresetAroundCentre) {
    const auto& c = GetParam();
    const auto outcome = presetRule(c.width, c.height, c.current, c.view, c.scale);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->rect, c.expected)
        << "got " << outcome->rect.x() << "," << outcome->rect.y() << " " << outcome->rect.width()
        << "x" << outcome->rect.height();
    EXPECT_EQ(outcome->fitted, c.fitted);
}

INSTANTIATE_TEST_SUITE_P(Cases, PresetRuleTest,
                         ::testing::Values(PresetCase{"fullHdFitsAtScale2",
                                                      1920,
                                                      1080,
                                                      {600, 400, 200, 100},
                                                      kView,
                                                      2.0,
                                                      QRectF(220, 180, 960, 540),
                                                      false},
                                           PresetCase{"fourKIsFitted",
                                                      3840,
                                                      2160,
                                                      {600, 400, 200, 100},
                                                      kView,
                                                      2.0,
                                                      QRectF(0, 45, 1440, 810),
                                                      true},
                                           PresetCase{"oddPresetStaysOdd",
                                                      1921,
                                                      1081,
                                                      {0, 0, 100, 100},
                                                      {0, 0, 2560, 1440},
                                                      1.0,
                                                      QRectF(0, 0, 1921, 1081),
                                                      false},
                                           PresetCase{"oddPresetCentredAndSnapped",
                                                      101,
                                                      51,
                                                      {100, 100, 200, 100},
                                                      kView,
                                                      1.0,
                                                      QRectF(150, 125, 101, 51),
                                                      false},
                                           PresetCase{"exactlyScreenSize",
                                                      1440,
                                                      900,
                                                      {10, 10, 40, 40},
                                                      kView,
                                                      1.0,
                                                      QRectF(0, 0, 1440, 900),
                                                      false},
                                           PresetCase{"verticalFittedByHeight",
                                                      1080,
                                                      1920,
                                                      {700, 400, 40, 40},
                                                      kView,
                                                      1.0,
                                                      QRectF(467, 0, 506, 900),
                                                      true},
                                           PresetCase{"pushedInsideNearCorner",
                                                      1280,
                                                      720,
                                                      {1400, 880, 20, 20},
                                                      {0, 0, 1920, 1080},
                                                      1.0,
                                                      QRectF(640, 360, 1280, 720),
                                                      false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(PresetRuleTest, FourKPixelSizeAtScale2Is2880By1620) {
    const auto outcome = presetRule(3840, 2160, QRectF(600, 400, 200, 100), kView, 2.0);
    ASSERT_TRUE(outcome);
    EXPECT_DOUBLE_EQ(outcome->rect.width() * 2.0, 2880.0);
    EXPECT_DOUBLE_EQ(outcome->rect.height() * 2.0, 1620.0);
}

TEST(PresetRuleTest, DoesNothingWithoutSelectionOrWithEmptySize) {
    EXPECT_FALSE(presetRule(1920, 1080, std::nullopt, kView, 1.0));
    EXPECT_FALSE(presetRule(0, 1080, QRectF(0, 0, 100, 100), kView, 1.0));
    EXPECT_FALSE(presetRule(1920, 0, QRectF(0, 0, 100, 100), kView, 1.0));
    EXPECT_FALSE(presetRule(-5, 10, QRectF(0, 0, 100, 100), kView, 1.0));
}

TEST(PresetRuleTest, SwapIsPresetWithSidesExchanged) {
    // A 1920 x 1080 pixel selection at scale 1 on a 1920 x 1080 screen: the vertical
    // swap has to be fitted and keeps the centre.
    const QRectF current(0, 0, 1920, 1080);
    const auto swapped = presetRule(1080, 1920, current, {0, 0, 1920, 1080}, 1.0);
    ASSERT_TRUE(swapped);
    EXPECT_TRUE(swapped->fitted);
    // f = min(1920/1080, 1080/1920) = 0.5625 -> 606 x 1080 px, centred at x = 960.
    EXPECT_EQ(swapped->rect, QRectF(657, 0, 606, 1080));
}

}  // namespace
}  // namespace vantorel
