#include "selection/size_label.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(SizeLabelTest, TextHasSpacedMultiplicationSignAndNoGrouping) {
    EXPECT_EQ(sizeLabelText(1920, 1080), QString::fromUtf8("1920 × 1080"));
    EXPECT_EQ(sizeLabelText(12345, 2), QString::fromUtf8("12345 × 2"));
}

TEST(SizeLabelTest, BoxPlacement) {
    const QRectF screen(0, 0, 1920, 1080);
    const QSizeF text(168, 44);  // box 200 x 60
    const struct {
        const char* name;
        QRectF selection;
        QRectF box;
    } cases[] = {
        {"belowCentred", {400, 300, 400, 200}, {500, 510, 200, 60}},
        // 1016 + 60 = 1076 is within the 4-point margin of 1080: still below.
        {"belowAtLimit", {400, 806, 400, 200}, {500, 1016, 200, 60}},
        {"insideNearBottom", {400, 820, 400, 200}, {500, 950, 200, 60}},
        // A short selection near the bottom: the box top stays 6 points under its top.
        {"insideNeverAboveTop", {400, 1000, 400, 60}, {500, 1006, 200, 60}},
        {"keptOffLeftEdge", {0, 100, 50, 50}, {4, 160, 200, 60}},
        {"keptOffRightEdge", {1880, 100, 40, 50}, {1716, 160, 200, 60}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sizeLabelBox(c.selection, screen, text), c.box) << c.name;
    }
}

}  // namespace
}  // namespace vantorel
