#include "selection/overlay_painter.h"

#include "selection/selection_overlay_controller.h"
#include "selection/selection_view.h"
#include "ui_test_support.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

QImage render(const OverlayScene& scene) {
    QImage image(scene.bounds.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);  // anything the painter fails to cover shows up
    QPainter painter(&image);
    paintOverlay(painter, scene);
    return image;
}

bool isHalfBlack(QRgb pixel) {
    return qRed(pixel) == 0 && qGreen(pixel) == 0 && qBlue(pixel) == 0 && qAlpha(pixel) >= 127 &&
           qAlpha(pixel) <= 128;
}

bool isYellow(QRgb pixel) {
    return qAlpha(pixel) == 255 && qRed(pixel) == 255 && qGreen(pixel) == 204 && qBlue(pixel) == 0;
}

TEST(OverlayPainterTest, WithoutSelectionEverythingIsHalfBlack) {
    OverlayScene scene;
    scene.bounds = QRectF(0, 0, 64, 48);
    const QImage image = render(scene);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_TRUE(isHalfBlack(image.pixel(x, y))) << x << "," << y;
        }
    }
}

TEST(OverlayPainterTest, SelectionIsAHoleWithBorderHandlesAndLabel) {
    OverlayScene scene;
    scene.bounds = QRectF(0, 0, 800, 600);
    scene.selection = QRectF(100, 100, 400, 200);
    const QImage image = render(scene);
    // Dimmed outside, nearly clear inside.
    EXPECT_TRUE(isHalfBlack(image.pixel(50, 50)));
    EXPECT_TRUE(isHalfBlack(image.pixel(700, 50)));
    EXPECT_LE(qAlpha(image.pixel(300, 200)), 4);
    // The 2-point yellow border straddles the edge; the handle at the top middle is white
    // inside a yellow outline.
    EXPECT_TRUE(isYellow(image.pixel(200, 100)));
    EXPECT_TRUE(isYellow(image.pixel(100, 200 - 20)));
    EXPECT_EQ(image.pixel(300, 100), qRgba(255, 255, 255, 255));
    EXPECT_EQ(image.pixel(100, 200), qRgba(255, 255, 255, 255));
    // The dashed white line 2.5 points inside: a dash starts at the corner.
    EXPECT_EQ(image.pixel(106, 102), qRgba(255, 255, 255, 255));
    // The label box hangs 10 points under the selection, opaque black with white text.
    EXPECT_TRUE(isHalfBlack(image.pixel(250, 305)));
    bool foundBlack = false;
    bool foundWhite = false;
    for (int x = 200; x < 400; ++x) {
        const QRgb pixel = image.pixel(x, 340);
        foundBlack = foundBlack || pixel == qRgba(0, 0, 0, 255);
        foundWhite = foundWhite || (qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200);
    }
    EXPECT_TRUE(foundBlack);
    EXPECT_TRUE(foundWhite);
}

TEST(OverlayPainterTest, BackdropShowsDimmedOutsideAndClearInside) {
    OverlayScene scene;
    scene.bounds = QRectF(0, 0, 400, 300);
    scene.selection = QRectF(100, 50, 200, 100);
    scene.backdrop = QImage(400, 300, QImage::Format_RGB32);
    scene.backdrop.fill(QColor(200, 100, 40));
    const QImage image = render(scene);
    const QRgb outside = image.pixel(20, 250);
    EXPECT_EQ(qAlpha(outside), 255);
    EXPECT_NEAR(qRed(outside), 100, 1);
    EXPECT_NEAR(qGreen(outside), 50, 1);
    EXPECT_NEAR(qBlue(outside), 20, 1);
    const QRgb inside = image.pixel(200, 100);
    EXPECT_EQ(qAlpha(inside), 255);
    EXPECT_NEAR(qRed(inside), 198, 2);
    EXPECT_NEAR(qGreen(inside), 99, 2);
}

// A real overlay window, grabbed as it draws itself.
TEST(OverlayPainterTest, ViewDrawsSelectionOnlyOnItsScreen) {
    SelectionOverlayController controller([](const Selection&) {}, [] {});
    controller.show();
    const auto views = controller.views();
    ASSERT_GE(views.size(), 2u);
    testing::dragOn(views[1], {300, 300}, {700, 500});
    const QImage active = views[1]->grab().toImage();
    const QImage inactive = views[0]->grab().toImage();
    EXPECT_TRUE(isYellow(active.pixel(400, 300)));
    // Whatever lies beneath (a snapshot or nothing), the inactive screen carries no yellow.
    int yellow = 0;
    for (int y = 0; y < inactive.height(); y += 7) {
        for (int x = 0; x < inactive.width(); x += 7) {
            yellow += isYellow(inactive.pixel(x, y)) ? 1 : 0;
        }
    }
    EXPECT_EQ(yellow, 0);
    controller.close();
    testing::flushDeletes();
}

}  // namespace
}  // namespace vantorel
