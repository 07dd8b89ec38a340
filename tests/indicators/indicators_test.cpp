#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include "event_loop.h"
#include "indicators/countdown_window.h"
#include "indicators/indicator_geometry.h"
#include "indicators/stop_pill.h"

namespace vantorel {
namespace {

TEST(Indicators, TheOutlineLiesOutsideTheRegionAndTheCountdownHasItsSizes) {
    const QRectF panel = outlineFrame({1920, 0, 1920, 1080}, {100, 100, 1280, 720});
    EXPECT_EQ(panel, QRectF(2017, 97, 1286, 726));
    // The 2-pixel stroke is centred 1 inside the panel: it covers 3 to 1 outside the region.
    EXPECT_EQ(outlineStrokeRect(panel.size()), QRectF(1, 1, 1284, 724));
    for (const auto& [region, diameter, fontSize] :
         {std::tuple{QSizeF(100, 60), 48.0, 28.8}, {QSizeF(1920, 1080), 180.0, 108.0}}) {
        EXPECT_DOUBLE_EQ(countdownDiameter(region), diameter);
        EXPECT_DOUBLE_EQ(countdownFontSize(diameter), fontSize);
    }
    // Qt's pixel sizes are whole numbers: 28.8 must not become 28.
    const CountdownWindow countdown({QGuiApplication::screens()[0], {0, 0, 100, 60}, 100, 60});
    const QFont font = countdown.view()->numberFont();
    EXPECT_NEAR(font.pointSizeF() * countdown.view()->logicalDpiY() / 72.0, 28.8, 1e-9);
}

// An X11 grab sees every window over the region: the button must never be on it.
TEST(Indicators, TheStopPillIsNeverOnTheRecordedRegion) {
    // Two screens side by side, the first with a 32-pixel panel at its top.
    const std::vector<ScreenArea> two = {{{0, 0, 1920, 1080}, {0, 32, 1920, 1048}},
                                         {{1920, 0, 1920, 1080}, {1920, 0, 1920, 1080}}};
    const ScreenArea mirror{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}};
    const std::tuple<std::vector<ScreenArea>, QRectF, std::optional<QRectF>> rows[] = {
        {two, {100, 500, 640, 360}, QRectF(910, 38, 100, 40)},  // under the panel
        {two, {600, 32, 700, 500}, QRectF(900, 541, 100, 40)},  // below the region
        {two, {900, 50, 1020, 500}, QRectF(1360, 559, 100, 40)},
        {two, {0, 0, 1920, 1080}, QRectF(2830, 6, 100, 40)},  // on the other screen
        {{two[0]}, {0, 0, 1920, 1080}, std::nullopt},
        {{two[0], mirror}, {0, 0, 1920, 1080}, std::nullopt},
    };
    for (const auto& [screens, region, pill] : rows) {
        EXPECT_EQ(stopPillFrame(screens, 0, region, {100, 40}), pill) << region.y();
    }
}

// A click ends the recording, which takes the button down from inside its own click.
TEST(Indicators, TheStopPillGoesOnlyOnceItsOwnClickIsHandled) {
    auto pill = StopPill::create(QGuiApplication::screens()[0], {100, 500, 640, 360});
    const QPointer<StopPillView> view = pill->panel();
    bool aliveInItsClick = false;
    QObject::connect(pill.get(), &StopButton::clicked, [&] {
        pill->close();
        aliveInItsClick = !view.isNull();
    });
    pill->showOnTop();
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(pill->panel()) << "the margin round the capsule takes no click";
    QTest::mouseClick(view, Qt::LeftButton, {}, view->rect().center());
    EXPECT_TRUE(aliveInItsClick);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull()) << "and goes once the click has been handled";
}

}  // namespace
}  // namespace vantorel
