#include "selection/bar_placement.h"

#include <gtest/gtest.h>

#include <ostream>

namespace vantorel {
namespace {

// Cases in the y-upwards space the rules are stated in.
struct Case {
    const char* name;
    QRectF frame;
    QRectF visible;
    QRectF selection;
    QSizeF bar;
    QPointF origin;
};

// Test names and failure messages show the case by its name.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class BarPlacementTest : public ::testing::TestWithParam<Case> {};

TEST_P(BarPlacementTest, BottomUp) {
    const auto& c = GetParam();
    EXPECT_EQ(barOriginBottomUp(c.frame, c.visible, c.selection, c.bar), c.origin);
}

// The same case seen in Qt's space: the screen sits at the top of a desktop that is
// `desktop` high, so every y is mirrored about it.
TEST_P(BarPlacementTest, TopDownIsTheMirrorImage) {
    const auto& c = GetParam();
    const double desktop = 2000;
    auto flip = [&](const QRectF& r) {
        return QRectF(r.x(), desktop - r.y() - r.height(), r.width(), r.height());
    };
    const QPointF topLeft = barOriginTopDown(flip(c.frame), flip(c.visible), c.selection, c.bar);
    const QRectF expected = flip(QRectF(c.origin, c.bar));
    EXPECT_EQ(topLeft, expected.topLeft());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BarPlacementTest,
    ::testing::Values(
        // Above would reach 967 > 871: below, and pushed 4 points in from the left.
        Case{"belowAndClampedLeft",
             {0, 0, 1440, 900},
             {0, 0, 1440, 875},
             {100, 5, 400, 300},
             {600, 60},
             {4, 451}},
        // A full-screen selection leaves no room above or below: inside, under its top.
        Case{"insideForFullScreen",
             {0, 0, 1440, 900},
             {0, 0, 1440, 875},
             {0, 0, 1440, 900},
             {600, 60},
             {420, 803}},
        // Room above: the lower edge 12 points over the selection's top.
        Case{"above",
             {0, 0, 1440, 900},
             {0, 0, 1440, 875},
             {400, 400, 200, 100},
             {600, 60},
             {200, 512}},
        // Exactly touching the 4-point margin is still above.
        Case{"aboveAtLimit",
             {0, 0, 1440, 900},
             {0, 0, 1440, 875},
             {400, 101, 200, 100},
             {600, 60},
             {200, 811}},
        // Clamped at the right of the screen frame, not of the visible frame.
        Case{"clampedRight",
             {0, 0, 1440, 900},
             {0, 0, 1200, 875},
             {1300, 400, 100, 100},
             {600, 60},
             {836, 512}},
        // A second screen whose frame does not start at 0: no room above under its visible top.
        Case{"secondScreen",
             {1440, -300, 1920, 1080},
             {1440, -300, 1920, 1050},
             {100, 100, 400, 300},
             {600, 60},
             {1444, 236}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace vantorel
