#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

#include "desktop_user.h"
#include "selection/control_bar_view.h"
#include "selection/overlay_painter.h"
#include "selection/selection_overlay_controller.h"
#include "selection/selection_view.h"

// The overlay on the session's two monitors, driven by real input where the X server decides.
namespace vantorel::testing {
namespace {

// The press and drag on the second monitor, then Return, which reaches the overlay only
// through its keyboard grab.
TEST(Overlay, ADragOnTheSecondMonitorAndReturnConfirmItsRegion) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "run in scripts/headless-session.sh";
    SelectionOverlayController overlay;
    std::vector<Selection> confirmed;
    QObject::connect(&overlay, &SelectionOverlay::confirmed,
                     [&](const Selection& s) { confirmed.push_back(s); });
    moveMouse({400, 400});  // the pointer rests on the first monitor
    overlay.show();
    ASSERT_TRUE(waitUntil([&] { return overlay.views().back()->isVisible(); }));
    QGuiApplication::sync();  // mapped before the server is asked to deliver input to it
    const QPoint from = QGuiApplication::screens()[1]->geometry().topLeft() + QPoint(200, 150);
    dragOut(QRect(from, QSize(640, 360)));
    ASSERT_TRUE(waitUntil([&] { return overlay.barWindow() != nullptr; }));
    pressKeys({"Return"});
    ASSERT_TRUE(waitUntil([&] { return !confirmed.empty(); }));
    EXPECT_EQ(confirmed[0].screen, QGuiApplication::screens()[1]);
    EXPECT_EQ(confirmed[0].rect, QRectF(200, 150, 640, 360));
    EXPECT_EQ(confirmed[0].pixelWidth, 640);
    EXPECT_TRUE(overlay.isClosed());
}

// The bar's window never becomes the active one (the overlay keeps the keyboard), and Qt shows
// tooltips only for the active window unless told otherwise.
TEST(Overlay, TheBarsTooltipsShowOnHover) {
    SelectionOverlayController overlay;
    overlay.show();
    overlay.mouseDown(overlay.views()[0], {800, 400});
    overlay.mouseDragged(overlay.views()[0], {1000, 600});
    overlay.mouseUp(overlay.views()[0], {1000, 600});
    const auto* swap = overlay.barWindow()->findChild<QAbstractButton*>("swap");
    ASSERT_TRUE(waitUntil([&] { return swap->isVisible(); }));
    moveMouse(swap->mapToGlobal(swap->rect().center()));
    EXPECT_TRUE(waitUntil([] { return QToolTip::isVisible(); }, std::chrono::seconds(5)));
    EXPECT_EQ(QToolTip::text(), swap->toolTip());
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 4 && std::abs(qGreen(a) - qGreen(b)) <= 4 &&
           std::abs(qBlue(a) - qBlue(b)) <= 4 && std::abs(qAlpha(a) - qAlpha(b)) <= 4;
}

// Dimmed outside, clear inside: with a compositor over the live desktop, without one over a
// picture of the screen taken when the overlay opened.
TEST(Overlay, TheScreenIsDimmedRoundAClearSelection) {
    OverlayScene scene{QRectF(0, 0, 400, 300), QRectF(100, 50, 200, 100), 1.0, QImage()};
    for (const QColor under : {QColor(Qt::transparent), QColor(200, 100, 40)}) {
        if (under.alpha() != 0) {
            scene.backdrop = QImage(400, 300, QImage::Format_RGB32);
            scene.backdrop.fill(under);
        }
        QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);  // anything the painter fails to cover shows up
        QPainter painter(&image);
        paintOverlay(painter, scene);
        const QRgb half = qRgba(under.red() / 2, under.green() / 2, under.blue() / 2,
                                under.alpha() != 0 ? 255 : 128);
        EXPECT_TRUE(near(image.pixel(20, 250), half)) << "dimmed";
        EXPECT_TRUE(near(image.pixel(200, 100), under.rgba())) << "clear";
    }
}

}  // namespace
}  // namespace vantorel::testing
