#include "selection/selection_overlay_controller.h"

#include "selection/selection_view.h"
#include "ui_test_support.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <optional>

namespace vantorel {
namespace {

QString number(int value) {
    return QString::number(value);
}

// The whole path of real input: the X server delivers xdotool's pointer drag on the second
// monitor and its Return key, which reaches the overlay only through its keyboard grab.
TEST(XdotoolDragTest, DragOnSecondMonitorThenReturnRecordsIt) {
    const auto screens = QGuiApplication::screens();
    ASSERT_GE(screens.size(), 2);
    const QRect monB = screens[1]->geometry();

    std::optional<Selection> recorded;
    int cancels = 0;
    SelectionOverlayController controller([&](const Selection& s) { recorded = s; },
                                          [&] { ++cancels; });
    // The pointer rests on the first monitor when the overlay opens.
    ASSERT_EQ(testing::runTool("xdotool", {"mousemove", "400", "400"}), 0);
    controller.show();
    const auto views = controller.views();
    ASSERT_GE(views.size(), 2u);
    ASSERT_TRUE(testing::runUntil([&] { return views[1]->isVisible() && views[0]->isVisible(); }));
    // Let the server map the windows before it is asked to deliver input to them.
    QGuiApplication::sync();

    QSignalSpy released(&controller.model(), &SelectionModel::willChange);
    const int x0 = monB.x() + 200;
    const int y0 = monB.y() + 150;
    ASSERT_EQ(
        testing::runTool("xdotool", {"mousemove", number(x0), number(y0), "mousedown", "1",
                                     "mousemove", number(x0 + 300), number(y0 + 200), "mousemove",
                                     number(x0 + 640), number(y0 + 360), "mouseup", "1"}),
        0);
    ASSERT_TRUE(testing::runUntil([&] { return controller.barWindow() != nullptr; }));
    EXPECT_EQ(controller.activeView(), views[1]);
    ASSERT_TRUE(controller.rect());
    EXPECT_EQ(*controller.rect(), QRectF(200, 150, 640, 360));
    EXPECT_EQ(controller.model().pixelWidth(), 640);
    EXPECT_EQ(controller.model().pixelHeight(), 360);

    ASSERT_EQ(testing::runTool("xdotool", {"key", "Return"}), 0);
    ASSERT_TRUE(testing::runUntil([&] { return recorded.has_value(); }));
    EXPECT_EQ(recorded->screen, screens[1]);
    EXPECT_EQ(recorded->rect, QRectF(200, 150, 640, 360));
    EXPECT_EQ(recorded->pixelWidth, 640);
    EXPECT_EQ(recorded->pixelHeight, 360);
    EXPECT_EQ(cancels, 0);
    EXPECT_TRUE(controller.isClosed());
    testing::flushDeletes();
}

TEST(XdotoolDragTest, EscapeFromTheKeyboardCancels) {
    int cancels = 0;
    SelectionOverlayController controller([](const Selection&) {}, [&] { ++cancels; });
    controller.show();
    ASSERT_TRUE(testing::runUntil([&] { return controller.views().front()->isVisible(); }));
    QGuiApplication::sync();
    ASSERT_EQ(testing::runTool("xdotool", {"key", "Escape"}), 0);
    ASSERT_TRUE(testing::runUntil([&] { return cancels > 0; }));
    EXPECT_EQ(cancels, 1);
    testing::flushDeletes();
}

}  // namespace
}  // namespace vantorel
