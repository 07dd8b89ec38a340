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

// Two screens side by side, the first with a 32-point panel at its top.
const std::vector<ScreenArea> kScreens = {
    {QRectF(0, 0, 1920, 1080), QRectF(0, 32, 1920, 1048)},
    {QRectF(1920, 0, 1920, 1080), QRectF(1920, 0, 1920, 1080)},
};
const QSizeF kPill(100, 40);

TEST(IndicatorGeometry, TheStopPillIsNeverOnTheRecordedRegion) {
    struct Case {
        const char* what;
        std::vector<ScreenArea> screens;
        size_t home;
        QRectF region;
        std::optional<QRectF> pill;
    };
    const Case cases[] = {
        {"top centre, 6 points under the panel", kScreens, 0, QRectF(100, 500, 640, 360),
         QRectF(910, 38, 100, 40)},
        {"top centre of a screen without a panel", kScreens, 1, QRectF(1920, 500, 640, 360),
         QRectF(2830, 6, 100, 40)},
        {"below a region that covers the top centre", kScreens, 0, QRectF(600, 32, 700, 500),
         QRectF(900, 541, 100, 40)},
        {"below, centred on the region", kScreens, 0, QRectF(900, 50, 1020, 500),
         QRectF(1360, 559, 100, 40)},
        {"a full screen goes to the other screen", kScreens, 0, QRectF(0, 0, 1920, 1080),
         QRectF(2830, 6, 100, 40)},
        {"one full screen leaves no room",
         {kScreens[0]},
         0,
         QRectF(0, 0, 1920, 1080),
         std::nullopt},
        {"a mirrored screen shows the region too",
         {kScreens[0], {QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1080)}},
         0,
         QRectF(0, 0, 1920, 1080),
         std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<QRectF> pill = stopPillFrame(c.screens, c.home, c.region, kPill);
        EXPECT_EQ(pill, c.pill) << c.what;
        if (pill) {
            EXPECT_FALSE(pill->intersects(c.region.adjusted(-3, -3, 3, 3))) << c.what;
        }
    }
}

}  // namespace
}  // namespace vantorel
