#include "selection/selection_overlay_controller.h"

#include "selection/control_bar_view.h"
#include "selection/selection_view.h"
#include "ui_test_support.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace vantorel {
namespace {

using testing::dragOn;
using testing::flushDeletes;
using testing::moveTo;
using testing::press;
using testing::release;

// A controller with counting callbacks, shown on every screen.
class OverlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_GE(QGuiApplication::screens().size(), 2) << "needs the two-monitor session";
    }

    void TearDown() override {
        controller.reset();
        flushDeletes();
    }

    void makeController(SelectionOverlayController::LastSizeReader lastSize = {}) {
        controller = std::make_unique<SelectionOverlayController>(
            [this](const Selection& selection) {
                records.push_back(selection);
                closedWhenRecorded = controller->isClosed() && controller->views().empty();
            },
            [this] { ++cancels; }, lastSize);
    }

    void showController() {
        makeController();
        controller->show();
    }

    SelectionView* viewA() const { return controller->views().at(0); }
    SelectionView* viewB() const { return controller->views().at(1); }

    std::unique_ptr<SelectionOverlayController> controller;
    std::vector<Selection> records;
    int cancels = 0;
    bool closedWhenRecorded = false;
};

TEST_F(OverlayTest, ShowsOneBorderlessOverlayPerScreenWithoutSelection) {
    showController();
    const auto screens = QGuiApplication::screens();
    const auto views = controller->views();
    ASSERT_EQ(views.size(), static_cast<size_t>(screens.size()));
    for (size_t i = 0; i < views.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(views[i]->isVisible());
        EXPECT_EQ(views[i]->overlayScreen(), screens[static_cast<qsizetype>(i)]);
        EXPECT_EQ(views[i]->geometry(), screens[static_cast<qsizetype>(i)]->geometry());
        EXPECT_EQ(views[i]->bounds(),
                  QRectF(QPointF(0, 0), screens[static_cast<qsizetype>(i)]->geometry().size()));
        const Qt::WindowFlags flags = views[i]->windowFlags();
        EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
        EXPECT_EQ(views[i]->cursor().shape(), Qt::CrossCursor);
    }
    EXPECT_EQ(controller->activeView(), nullptr);
    EXPECT_FALSE(controller->rect());
    EXPECT_EQ(controller->barWindow(), nullptr);
}

TEST_F(OverlayTest, DrawingKeepsSelectionShowsBarAndFillsModel) {
    showController();
    QSignalSpy changes(&controller->model(), &SelectionModel::willChange);
    press(viewA(), {100, 100});
    moveTo(viewA(), {350.4, 260.6});
    EXPECT_EQ(changes.count(), 0) << "the model waits for the release";
    release(viewA(), {350.4, 260.6});
    ASSERT_TRUE(controller->rect());
    EXPECT_EQ(*controller->rect(), QRectF(100, 100, 250, 160));
    EXPECT_EQ(controller->activeView(), viewA());
    EXPECT_TRUE(std::holds_alternative<drag::None>(controller->drag()));
    EXPECT_EQ(controller->model().pixelWidth(), 250);
    EXPECT_EQ(controller->model().pixelHeight(), 160);
    EXPECT_EQ(controller->model().scale(), 1.0);
    EXPECT_EQ(changes.count(), 3);
    ASSERT_NE(controller->barWindow(), nullptr);
    EXPECT_TRUE(controller->barWindow()->isVisible());
}

TEST_F(OverlayTest, BarGoesAboveSelectionCentredOnIt) {
    showController();
    dragOn(viewB(), {600, 500}, {1000, 700});
    QWidget* bar = controller->barWindow();
    ASSERT_NE(bar, nullptr);
    const QRect screen = viewB()->overlayScreen()->geometry();
    // Above: the bar's lower edge 12 points over the selection's top, centred on it.
    EXPECT_EQ(bar->geometry().bottom() + 1, screen.top() + 500 - 12);
    EXPECT_EQ(bar->x(), static_cast<int>(std::lround(screen.left() + 800 - bar->width() * 0.5)));
}

TEST_F(OverlayTest, TinySelectionIsDiscardedAndAnyScreenMayStartAgain) {
    showController();
    dragOn(viewA(), {100, 100}, {118.9, 400});
    EXPECT_FALSE(controller->rect());
    EXPECT_EQ(controller->activeView(), nullptr);
    EXPECT_EQ(controller->barWindow(), nullptr);
    dragOn(viewB(), {10, 10}, {110, 60});
    EXPECT_EQ(controller->activeView(), viewB());
    ASSERT_TRUE(controller->rect());
    EXPECT_EQ(*controller->rect(), QRectF(10, 10, 100, 50));
}

TEST_F(OverlayTest, OtherScreensAreIgnoredWhileSelectionLives) {
    showController();
    dragOn(viewA(), {100, 100}, {300, 200});
    const QRectF kept = *controller->rect();
    dragOn(viewB(), {500, 500}, {900, 900});
    EXPECT_EQ(controller->activeView(), viewA());
    EXPECT_EQ(controller->rect(), kept);
    EXPECT_TRUE(controller->barWindow()->isVisible()) << "a press on B does not even hide the bar";
}

TEST_F(OverlayTest, PressElsewhereStartsANewSelectionAtOnce) {
    showController();
    dragOn(viewA(), {100, 100}, {300, 200});
    press(viewA(), {800, 800});
    EXPECT_FALSE(controller->rect());
    EXPECT_TRUE(std::holds_alternative<drag::Creating>(controller->drag()));
    EXPECT_FALSE(controller->barWindow()->isVisible());
    moveTo(viewA(), {900, 850});
    release(viewA(), {900, 850});
    EXPECT_EQ(*controller->rect(), QRectF(800, 800, 100, 50));
}

TEST_F(OverlayTest, MovingAndResizingHideBarAndBringItBackRepositioned) {
    showController();
    dragOn(viewA(), {600, 300}, {800, 400});
    QWidget* bar = controller->barWindow();
    const QPoint before = bar->pos();
    press(viewA(), {700, 350});
    EXPECT_TRUE(std::holds_alternative<drag::Moving>(controller->drag()));
    EXPECT_FALSE(bar->isVisible());
    moveTo(viewA(), {1200, 450});
    EXPECT_FALSE(bar->isVisible()) << "hidden for the whole drag";
    release(viewA(), {1200, 450});
    EXPECT_EQ(*controller->rect(), QRectF(1100, 400, 200, 100));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->pos() - before, QPoint(500, 100));

    press(viewA(), {1300, 500});
    EXPECT_TRUE(std::holds_alternative<drag::Resizing>(controller->drag()));
    EXPECT_FALSE(bar->isVisible());
    moveTo(viewA(), {1401, 551});
    release(viewA(), {1401, 551});
    EXPECT_EQ(*controller->rect(), QRectF(1100, 400, 302, 152));
    EXPECT_EQ(controller->model().pixelWidth(), 302);
    EXPECT_TRUE(bar->isVisible());
}

TEST_F(OverlayTest, ReleaseWithoutPressAndDragOnInactiveScreenDoNothing) {
    showController();
    release(viewA(), {10, 10});
    moveTo(viewB(), {10, 10});
    EXPECT_FALSE(controller->rect());
    EXPECT_EQ(controller->activeView(), nullptr);
}

TEST_F(OverlayTest, ConfirmClosesBeforeHandingOverTheSelection) {
    showController();
    controller->confirm();
    EXPECT_TRUE(records.empty()) << "nothing to confirm yet";
    dragOn(viewB(), {100, 100}, {740.2, 460.2});
    QTest::keyClick(viewB(), Qt::Key_Return);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(closedWhenRecorded);
    EXPECT_EQ(records[0].screen, QGuiApplication::screens().at(1));
    EXPECT_EQ(records[0].rect, QRectF(100, 100, 640, 360));
    EXPECT_EQ(records[0].pixelWidth, 640);
    EXPECT_EQ(records[0].pixelHeight, 360);
    controller->cancel();
    controller->confirm();
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(records.size(), 1u);
}

TEST_F(OverlayTest, KeysReturnEnterEscapeAndOthers) {
    struct Case {
        const char* name;
        bool drawFirst;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        size_t records;
        int cancels;
    };
    const Case cases[] = {
        {"returnWithoutSelection", false, Qt::Key_Return, Qt::NoModifier, 0, 0},
        {"returnRecords", true, Qt::Key_Return, Qt::NoModifier, 1, 0},
        {"keypadEnterRecords", true, Qt::Key_Enter, Qt::KeypadModifier, 1, 0},
        {"escapeCancels", true, Qt::Key_Escape, Qt::NoModifier, 0, 1},
        {"escapeWithoutSelection", false, Qt::Key_Escape, Qt::NoModifier, 0, 1},
        {"otherKeyIgnored", true, Qt::Key_Space, Qt::NoModifier, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        records.clear();
        cancels = 0;
        showController();
        if (c.drawFirst) {
            dragOn(viewA(), {10, 10}, {110, 110});
        }
        SelectionView* view = viewA();
        QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers);
        QCoreApplication::sendEvent(view, &event);
        EXPECT_EQ(records.size(), c.records);
        EXPECT_EQ(cancels, c.cancels);
        controller.reset();
        flushDeletes();
    }
}

TEST_F(OverlayTest, CancelCallsBackOnceAndEscapeAfterReturnNothing) {
    showController();
    QPointer<SelectionView> view = viewA();
    controller->cancel();
    controller->cancel();
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(controller->views().empty());
    flushDeletes();
    EXPECT_TRUE(view.isNull()) << "overlay windows are destroyed";

    controller.reset();
    cancels = 0;
    showController();
    dragOn(viewA(), {10, 10}, {110, 110});
    SelectionView* first = viewA();
    QTest::keyClick(first, Qt::Key_Return);
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(cancels, 0);
}

TEST_F(OverlayTest, CloseAndDestructionNeverCallBack) {
    showController();
    dragOn(viewA(), {10, 10}, {110, 110});
    QPointer<QWidget> bar = controller->barWindow();
    controller->close();
    controller->close();
    controller->cancel();
    controller->confirm();
    EXPECT_EQ(cancels, 0);
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(controller->barWindow(), nullptr);
    flushDeletes();
    EXPECT_TRUE(bar.isNull());

    controller.reset();
    showController();
    controller.reset();
    EXPECT_EQ(cancels, 0);
}

// The owner lets go of the controller from inside either callback.
TEST_F(OverlayTest, OwnerMayDestroyControllerFromItsCallbacks) {
    std::unique_ptr<SelectionOverlayController> owned;
    std::optional<Selection> recorded;
    owned = std::make_unique<SelectionOverlayController>(
        [&](const Selection& selection) {
            recorded = selection;
            owned.reset();
        },
        [&] { owned.reset(); });
    owned->show();
    SelectionView* view = owned->views().front();
    dragOn(view, {10, 10}, {110, 110});
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(owned, nullptr);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->rect, QRectF(10, 10, 100, 100));
    flushDeletes();

    owned = std::make_unique<SelectionOverlayController>([](const Selection&) {},
                                                         [&] { owned.reset(); });
    owned->show();
    QTest::keyClick(owned->views().front(), Qt::Key_Escape);
    EXPECT_EQ(owned, nullptr);
    flushDeletes();
}

TEST_F(OverlayTest, EventsAfterCloseAreIgnored) {
    showController();
    SelectionView* view = viewA();
    controller->close();
    dragOn(view, {10, 10}, {110, 110});
    controller->applyPreset(1280, 720);
    EXPECT_FALSE(controller->rect());
    EXPECT_EQ(controller->activeView(), nullptr);
}

TEST_F(OverlayTest, LastSizeIsReadOnceAtCreation) {
    struct Case {
        const char* name;
        std::optional<std::pair<int64_t, int64_t>> stored;
        int64_t width, height;
    };
    const Case cases[] = {
        {"none", std::nullopt, 0, 0},
        {"bothSet", std::make_pair(int64_t{1000}, int64_t{800}), 1000, 800},
        {"heightZero", std::make_pair(int64_t{1280}, int64_t{0}), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int reads = 0;
        makeController([&] {
            ++reads;
            return c.stored;
        });
        EXPECT_EQ(reads, 1);
        EXPECT_EQ(controller->model().lastWidth(), c.width);
        EXPECT_EQ(controller->model().lastHeight(), c.height);
        controller.reset();
    }
}

TEST_F(OverlayTest, PresetsResizeAroundCentreAndShowFitNotice) {
    showController();
    SelectionModel& model = controller->model();
    emit model.presetRequested(1280, 720);
    EXPECT_FALSE(controller->rect()) << "no selection, no preset";
    EXPECT_FALSE(model.notice());

    dragOn(viewA(), {800, 400}, {1000, 600});
    emit model.presetRequested(3840, 2160);
    ASSERT_TRUE(controller->rect());
    EXPECT_EQ(*controller->rect(), QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(model.notice(), QStringLiteral("Fits to screen"));
    EXPECT_TRUE(controller->noticePending());

    emit model.presetRequested(1280, 720);
    EXPECT_EQ(*controller->rect(), QRectF(320, 180, 1280, 720));
    EXPECT_EQ(model.pixelWidth(), 1280);
    EXPECT_EQ(model.pixelHeight(), 720);
    EXPECT_FALSE(model.notice()) << "a preset that fits clears the notice at once";
    EXPECT_FALSE(controller->noticePending());

    emit model.presetRequested(0, 720);
    EXPECT_EQ(model.pixelWidth(), 1280);
}

TEST_F(OverlayTest, FitNoticeClearsItselfLater) {
    showController();
    dragOn(viewA(), {800, 400}, {1000, 600});
    emit controller->model().presetRequested(3840, 2160);
    ASSERT_TRUE(controller->model().notice());
    EXPECT_TRUE(testing::runUntil([&] { return !controller->model().notice().has_value(); }));
}

TEST_F(OverlayTest, CloseCancelsPendingNotice) {
    showController();
    dragOn(viewA(), {800, 400}, {1000, 600});
    emit controller->model().presetRequested(3840, 2160);
    controller->close();
    EXPECT_FALSE(controller->noticePending());
    EXPECT_TRUE(controller->model().notice()) << "close leaves the model as it is";
}

TEST_F(OverlayTest, SwapExchangesPixelSides) {
    showController();
    dragOn(viewA(), {800, 400}, {1000, 600});
    emit controller->model().presetRequested(400, 300);
    emit controller->model().swapRequested();
    EXPECT_EQ(controller->model().pixelWidth(), 300);
    EXPECT_EQ(controller->model().pixelHeight(), 400);
    // The centre is kept: the 400 x 300 region sat at (700, 350).
    EXPECT_EQ(*controller->rect(), QRectF(750, 300, 300, 400));
}

TEST_F(OverlayTest, ModelRequestsRecordAndCancel) {
    showController();
    dragOn(viewA(), {10, 10}, {110, 110});
    emit controller->model().recordRequested();
    EXPECT_EQ(records.size(), 1u);

    controller.reset();
    showController();
    emit controller->model().cancelRequested();
    EXPECT_EQ(cancels, 1);
}

TEST_F(OverlayTest, BarButtonsDriveTheController) {
    showController();
    dragOn(viewA(), {800, 400}, {1000, 600});
    auto* bar = controller->barWindow()->findChild<ControlBarView*>();
    ASSERT_NE(bar, nullptr);
    auto* hd = bar->findChild<QAbstractButton*>(QStringLiteral("preset-1280x720"));
    ASSERT_NE(hd, nullptr);
    QTest::mouseClick(hd, Qt::LeftButton);
    EXPECT_EQ(controller->model().pixelWidth(), 1280);
    auto* record = bar->findChild<QAbstractButton*>(QStringLiteral("record"));
    QTest::mouseClick(record, Qt::LeftButton);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].pixelWidth, 1280);
    EXPECT_EQ(records[0].pixelHeight, 720);
}

// The bar's window is never the active one (the overlay keeps the keyboard), and Qt shows
// tooltips only for the active window unless told otherwise.
TEST_F(OverlayTest, TheBarsTooltipsShowOnHover) {
    showController();
    dragOn(viewA(), {800, 400}, {1000, 600});
    auto* bar = controller->barWindow()->findChild<ControlBarView*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(testing::runUntil([&] { return bar->isVisible(); }));
    auto* swap = bar->findChild<QAbstractButton*>(QStringLiteral("swap"));
    const QPoint over = swap->mapToGlobal(swap->rect().center());
    ASSERT_EQ(testing::runTool("xdotool",
                               {"mousemove", QString::number(over.x()), QString::number(over.y())}),
              0);
    EXPECT_TRUE(testing::runUntil([] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), "Swap width and height");
    QToolTip::hideText();
}

}  // namespace
}  // namespace vantorel
