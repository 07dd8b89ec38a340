#include <gtest/gtest.h>

#include "selection/bar_placement.h"
#include "selection/selection_rules.h"
#include "selection/size_label.h"
#include "selection/size_presets.h"

// Worked examples of the selection's geometry, in a screen's logical pixels.
namespace vantorel {
namespace {

const QRectF kView(0, 0, 1440, 900);
const QRectF kRect(400, 300, 200, 100);

TEST(SelectionGeometry, PressesTakeAHandleFirstThenMoveOrStartAnew) {
    const std::tuple<QPointF, bool, DragMode> rows[] = {
        {{405, 304}, true, drag::Resizing{Handle::topLeft, kRect}},
        {{500, 350}, true, drag::Moving{{500, 350}, kRect}},
        {{600, 325}, true, drag::Creating{{600, 325}}},   // the right edge is outside
        {{500, 350}, false, drag::Creating{{500, 350}}},  // the selection is on another screen
        {{-3, 905}, true, drag::Creating{{0, 900}}},
    };
    for (const auto& [at, here, drag] : rows) {
        EXPECT_EQ(pressRule(at, kRect, here, kView).drag, drag) << at.x() << "," << at.y();
    }
}

// Pixel sizes stay even and at least 2, inside the screen; a drag back to the anchor is nothing.
TEST(SelectionGeometry, DragsDrawMoveAndResizeWithinTheScreen) {
    const std::tuple<DragMode, QPointF, double, std::optional<QRectF>> rows[] = {
        {drag::Creating{{100, 100}}, {150.3, 130.2}, 2, QRectF(100, 100, 50, 30)},
        {drag::Creating{{10, 10}}, {11, 10.5}, 1, QRectF(10, 10, 2, 2)},
        {drag::Creating{{10, 10}}, {10.9, 10.9}, 1, std::nullopt},
        {drag::Creating{{300, 300}}, {199, 361}, 1, QRectF(198, 300, 102, 62)},
        {drag::Creating{{10, 10}}, {-50, 2000}, 1, QRectF(0, 10, 10, 890)},
        {drag::Creating{{1, 0}}, {1440, 899}, 1, QRectF(0, 0, 1440, 900)},
        {drag::Moving{{500, 350}, kRect}, {1500, 350}, 1, QRectF(1240, 300, 200, 100)},
        {drag::Moving{{500, 350}, kRect}, {510.25, 340.5}, 2, QRectF(410.25, 290.5, 200, 100)},
        {drag::Resizing{Handle::topLeft, kRect}, {351, 251}, 1, QRectF(350, 250, 250, 150)},
        {drag::Resizing{Handle::left, kRect}, {900, 350}, 1, QRectF(580, 300, 20, 100)},
        {drag::Resizing{Handle::topRight, kRect}, {2000, -100}, 1, QRectF(400, 0, 1040, 400)},
        {drag::Resizing{Handle::bottomLeft, kRect}, {300.3, 450.2}, 2, QRectF(300, 300, 300, 150)},
    };
    for (const auto& [drag, to, scale, rect] : rows) {
        EXPECT_EQ(dragRule(to, drag, kView, scale).rect, rect) << to.x() << "," << to.y();
    }
    EXPECT_FALSE(dragRule({10, 10}, drag::None{}, kView, 1).changed);
}

TEST(SelectionGeometry, ReleasesSnapToWholePixelsOrDropATinySelection) {
    const std::tuple<QRectF, double, std::optional<QRectF>> rows[] = {
        {{10, 10, 19.9, 300}, 1, std::nullopt},
        {{10, 10, 20, 20}, 1, QRectF(10, 10, 20, 20)},
        {{10.3, 10.8, 50, 30}, 2, QRectF(10.5, 11, 50, 30)},
        {{1339.6, 0, 100.5, 30}, 1, QRectF(1339.5, 0, 100.5, 30)},
    };
    for (const auto& [rect, scale, kept] : rows) {
        EXPECT_EQ(releaseRule(rect, kView, scale), kept) << rect.x();
    }
}

// Presets go round the selection's centre, scaled down to fit when larger than the screen; a
// swap is the preset of the other way round.
TEST(SelectionGeometry, PresetsAndSwapsKeepTheCentreAndFitTheScreen) {
    const QRectF wide(0, 0, 1920, 1080);
    const std::tuple<int64_t, int64_t, QRectF, QRectF, double, QRectF, bool> rows[] = {
        {1920, 1080, {600, 400, 200, 100}, kView, 2, {220, 180, 960, 540}, false},
        {3840, 2160, {600, 400, 200, 100}, kView, 2, {0, 45, 1440, 810}, true},
        {101, 51, {100, 100, 200, 100}, kView, 1, {150, 125, 101, 51}, false},
        {1280, 720, {1400, 880, 20, 20}, wide, 1, {640, 360, 1280, 720}, false},
        {1080, 1920, wide, wide, 1, {657, 0, 606, 1080}, true},
    };
    for (const auto& [width, height, from, view, scale, rect, fitted] : rows) {
        const auto outcome = presetRule(width, height, from, view, scale);
        EXPECT_EQ(outcome->rect, rect) << width << "x" << height;
        EXPECT_EQ(outcome->fitted, fitted) << width << "x" << height;
    }
    EXPECT_FALSE(presetRule(1920, 1080, std::nullopt, kView, 1)) << "nothing to resize";
    EXPECT_TRUE(SizePresets::showsLast(1000, 800));
    EXPECT_FALSE(SizePresets::showsLast(1280, 720)) << "a preset has a button of its own";
}

TEST(SelectionGeometry, HandlesAreTakenByTheNearestWithinReach) {
    const std::tuple<QRectF, QPointF, std::optional<Handle>> rows[] = {
        {kRect, {411, 300}, Handle::topLeft},  {kRect, {412, 300}, std::nullopt},
        {kRect, {393, 292}, Handle::topLeft},  {kRect, {609, 350}, Handle::right},
        {{0, 0, 10, 10}, {5, 5}, Handle::top}, {{0, 0, 10, 10}, {5, 9}, Handle::bottom},
    };
    for (const auto& [rect, at, handle] : rows) {
        EXPECT_EQ(handleAt(at, rect), handle) << at.x() << "," << at.y();
    }
}

// The size label under the selection, else inside it; the bar above it, else below it clear of
// the label, else inside it; both kept inside the screen.
TEST(SelectionGeometry, TheLabelAndTheBarKeepClearOfTheSelection) {
    const std::pair<QRectF, QRectF> labels[] = {
        {{400, 300, 400, 200}, {500, 510, 200, 60}},
        {{400, 820, 400, 200}, {500, 950, 200, 60}},
        {{1880, 100, 40, 50}, {1716, 160, 200, 60}},
    };
    for (const auto& [selection, box] : labels) {
        EXPECT_EQ(sizeLabelBox(selection, {0, 0, 1920, 1080}, {168, 44}), box) << box.x();
    }
    const QRectF panelled(0, 25, 1440, 875);
    const std::tuple<QRectF, QRectF, QPointF> bars[] = {
        {panelled, {400, 101, 200, 100}, {200, 29}},
        {panelled, {100, 5, 400, 300}, {4, 389}},
        {panelled, {0, 0, 1440, 900}, {420, 37}},
        {{0, 25, 1200, 875}, {1300, 400, 100, 100}, {836, 328}},
    };
    for (const auto& [visible, selection, origin] : bars) {
        EXPECT_EQ(barOrigin(kView, visible, selection, {600, 60}), origin) << origin.x();
    }
}

}  // namespace
}  // namespace vantorel
