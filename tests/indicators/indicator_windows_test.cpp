#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include "event_loop.h"
#include "indicators/countdown_window.h"
#include "indicators/outline_window.h"
#include "indicators/stop_pill.h"
#include "platform/system_colors.h"

namespace vantorel {
namespace {

QImage render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // An explicit source region: with a window mask, render() would otherwise start at the
    // mask's bounding box.
    widget.render(&image, QPoint(), QRegion(widget.rect()));
    return image;
}

QScreen* lastScreen() {
    return QGuiApplication::screens().last();
}

TEST(OutlineWindow, PaintsARedRingOutsideTheRegionOnItsScreen) {
    QScreen* screen = lastScreen();
    OutlineWindow outline(screen, QRectF(100, 80, 300, 200));
    QWidget* panel = outline.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->geometry(),
              QRect(screen->geometry().x() + 97, screen->geometry().y() + 77, 306, 206));
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    const QImage image = render(*panel);
    const QRgb red = kSystemRed;
    EXPECT_EQ(image.pixel(0, 100), red);
    EXPECT_EQ(image.pixel(1, 100), red);
    EXPECT_EQ(qAlpha(image.pixel(2, 100)), 0) << "the point next to the region stays clear";
    EXPECT_EQ(qAlpha(image.pixel(150, 100)), 0) << "nothing over the region";
    EXPECT_EQ(image.pixel(305, 205), red);
    outline.close();
    outline.close();
    EXPECT_EQ(outline.panel(), nullptr);
}

TEST(CountdownWindow, DrawsTheNumberInADarkCircleAndNothingElse) {
    const Selection selection{lastScreen(), QRectF(0, 0, 400, 300), 400, 300};
    CountdownWindow countdown(selection);
    CountdownView* view = countdown.view();
    ASSERT_NE(view, nullptr);
    countdown.show(3);
    EXPECT_EQ(view->number(), 3);
    if (!view->composited()) {
        // Without a compositor the window is cut to the circle.
        EXPECT_TRUE(view->mask().contains(QPoint(200, 150)));
        EXPECT_FALSE(view->mask().contains(QPoint(105, 150)));
        EXPECT_FALSE(view->mask().contains(QPoint(5, 5)));
        view->clearMask();  // to look at the painting itself
    }
    const QImage three = render(*view);
    ASSERT_EQ(view->size(), QSize(400, 300));
    // 0.8 x 300 = 240, capped at 180: the circle spans 110..290 across and 60..240 down.
    EXPECT_EQ(qAlpha(three.pixel(5, 5)), 0) << "corners see through";
    EXPECT_EQ(qAlpha(three.pixel(200, 65)), view->composited() ? 153 : 255);
    EXPECT_EQ(qAlpha(three.pixel(105, 150)), 0) << "just outside the circle";
    countdown.setNumber(1);
    EXPECT_EQ(view->number(), 1);
    EXPECT_NE(render(*view), three) << "the new number is drawn";
    countdown.close();
    EXPECT_EQ(countdown.view(), nullptr);
}

TEST(CountdownWindow, TheNumberIsSixTenthsOfTheCircleNotRoundedDown) {
    CountdownWindow countdown(Selection{lastScreen(), QRectF(0, 0, 100, 60), 100, 60});
    const CountdownView* view = countdown.view();
    const QFont font = view->numberFont();
    const double pixels =
        font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * view->logicalDpiY() / 72.0;
    EXPECT_NEAR(pixels, 28.8, 1e-9) << "0.6 of a 48-point circle";
}

TEST(StopPill, SitsAtTheTopCentreOfItsScreenAndStopsOnAClick) {
    QScreen* screen = lastScreen();
    int clicks = 0;
    // A click ends the recording, which takes the pill down from inside its own click.
    std::unique_ptr<StopPill> pill;
    bool aliveDuringItsClick = false;
    pill = std::make_unique<StopPill>(screen, QRectF(100, 500, 640, 360), [&] {
        if (++clicks == 2) {
            QPointer<StopPillView> clicked = pill->panel();
            pill->close();
            aliveDuringItsClick = !clicked.isNull();
        }
    });
    QPointer<StopPillView> view = pill->panel();
    ASSERT_NE(view, nullptr);
    const QRect available = screen->availableGeometry();
    EXPECT_EQ(view->geometry().top(), available.top() + 6);
    EXPECT_NEAR(view->geometry().center().x(), available.center().x(), 1);
    EXPECT_FALSE(view->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(view->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    pill->orderFront();
    testing::drainMainThread();
    if (!view->composited()) {
        EXPECT_TRUE(view->mask().contains(view->rect().center()));
        EXPECT_FALSE(view->mask().contains(QPoint(1, 1)));
        view->clearMask();
    }
    const QImage image = render(*view);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0) << "the 4-point margin is transparent";
    EXPECT_EQ(image.pixel(view->width() / 2, 6), kSystemRed);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, view->rect().center());
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_EQ(clicks, 1) << "outside the capsule";
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, view->rect().center());
    EXPECT_TRUE(aliveDuringItsClick) << "the view is not deleted under its own mouse handler";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull()) << "and goes once the click has been handled";
    pill->close();
}

}  // namespace
}  // namespace vantorel
