#include <gtest/gtest.h>

#include "indicators/indicator_geometry.h"

namespace vantorel {
namespace {

// The same placement written with the origin at the bottom left and y upwards, as screens
// are often described: x = minX(F) + minX(r), y = maxY(F) - maxY(r). `desktopHeight` turns
// such a frame into top-left coordinates for comparison.
QRectF bottomLeftGlobal(const QRectF& screenFrameBL, const QRectF& rect) {
    return QRectF(screenFrameBL.left() + rect.left(), screenFrameBL.bottom() - rect.bottom(),
                  rect.width(), rect.height());
}
QRectF flip(const QRectF& bottomLeftRect, double desktopHeight) {
    return QRectF(bottomLeftRect.left(),
                  desktopHeight - bottomLeftRect.top() - bottomLeftRect.height(),
                  bottomLeftRect.width(), bottomLeftRect.height());
}

TEST(IndicatorGeometry, GlobalFrameMatchesTheBottomLeftRuleOnEveryScreen) {
    const double desktopHeight = 1440;
    struct Case {
        QRectF screenTL;  // the screen in top-left global coordinates
        QRectF rect;
    };
    const Case cases[] = {
        {QRectF(0, 0, 1920, 1080), QRectF(100, 50, 640, 360)},
        {QRectF(1920, 0, 2560, 1440), QRectF(0, 0, 2560, 1440)},
        {QRectF(-1280, 360, 1280, 1080), QRectF(10.5, 20.5, 99, 51)},
    };
    for (const Case& c : cases) {
        const QRectF screenBL = flip(c.screenTL, desktopHeight);
        EXPECT_EQ(globalFrame(c.screenTL, c.rect),
                  flip(bottomLeftGlobal(screenBL, c.rect), desktopHeight));
    }
}

TEST(IndicatorGeometry, TheOutlineLiesWhollyOutsideTheRegionWithAOnePointGap) {
    const QRectF region(100, 100, 1280, 720);
    const QRectF panel = outlineFrame(QRectF(0, 0, 1920, 1080), region);
    EXPECT_EQ(panel.size(), QSizeF(1286, 726));
    EXPECT_EQ(panel.center(), region.center());
    // The 2-point stroke is centred on this rectangle: it covers [0, 2] from the panel's edge.
    const QRectF stroke = outlineStrokeRect(panel.size());
    EXPECT_EQ(stroke, QRectF(1, 1, 1284, 724));
    const double innerEdge = stroke.left() + kOutlineStroke / 2;  // in panel coordinates
    EXPECT_DOUBLE_EQ(panel.left() + innerEdge, region.left() - 1) << "1 point of gap";
}

TEST(IndicatorGeometry, AnOutlineAtTheScreenEdgeReachesBeyondIt) {
    const QRectF panel = outlineFrame(QRectF(1920, 0, 1920, 1080), QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(panel, QRectF(1917, -3, 1926, 1086));
}

TEST(IndicatorGeometry, CountdownCircleAndNumberSizes) {
    EXPECT_DOUBLE_EQ(countdownDiameter(QSizeF(100, 60)), 48);
    EXPECT_DOUBLE_EQ(countdownFontSize(48), 28.8);
    EXPECT_DOUBLE_EQ(countdownDiameter(QSizeF(1920, 1080)), 180);
    EXPECT_DOUBLE_EQ(countdownFontSize(180), 108);
    EXPECT_DOUBLE_EQ(countdownDiameter(QSizeF(225, 400)), 180);
}

TEST(IndicatorGeometry, ThePillSitsSixPointsBelowTheTopOfTheAvailableArea) {
    EXPECT_EQ(stopPillOrigin(QRectF(0, 32, 1920, 1048), QSizeF(100, 40)), QPointF(910, 38));
    EXPECT_EQ(stopPillOrigin(QRectF(1920, 0, 1920, 1080), QSizeF(101, 40)), QPointF(2829.5, 6));
}

}  // namespace
}  // namespace vantorel
