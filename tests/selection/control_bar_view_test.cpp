#include "selection/control_bar_view.h"

#include "selection/preset_button.h"
#include "selection/selection_model.h"
#include "ui_test_support.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

class ControlBarTest : public ::testing::Test {
  protected:
    // Lets the bar catch up with what the model announced.
    void settle() { QCoreApplication::processEvents(); }

    QAbstractButton* button(const char* name) {
        return bar.findChild<QAbstractButton*>(QString::fromUtf8(name));
    }

    SelectionModel model;
    ControlBarView bar{&model};
};

TEST_F(ControlBarTest, WithoutLastSizeShowsFivePresetsSwapRecordCancel) {
    bar.show();
    EXPECT_FALSE(bar.showsLast());
    EXPECT_FALSE(bar.lastUsedButton()->isVisible());
    const char* order[] = {"preset-1920x1080", "preset-1280x720",
                           "preset-1080x1920", "preset-1080x1080",
                           "preset-3840x2160", "swap",
                           "record",           "cancel"};
    int previousRight = -1;
    for (const char* name : order) {
        SCOPED_TRACE(name);
        QAbstractButton* b = button(name);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(b->isVisible());
        EXPECT_GT(b->x(), previousRight) << "left to right in this order";
        previousRight = b->geometry().right();
    }
    EXPECT_EQ(button("swap")->toolTip(), QStringLiteral("Swap width and height"));
    EXPECT_EQ(button("record")->toolTip(), QStringLiteral("Start recording (Return)"));
    EXPECT_EQ(button("cancel")->toolTip(), QStringLiteral("Cancel (Esc)"));
    EXPECT_EQ(button("preset-1920x1080")->height(), 36);
    EXPECT_EQ(button("record")->height(), 38);
}

TEST_F(ControlBarTest, LastUsedButtonOnlyForNonPresetSizes) {
    struct Case {
        int64_t width, height;
        bool shown;
    };
    const Case cases[] = {{1280, 720, false}, {1000, 800, true}, {1280, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        SelectionModel m;
        m.setLastWidth(c.width);
        m.setLastHeight(c.height);
        ControlBarView view(&m);
        view.show();
        EXPECT_EQ(view.showsLast(), c.shown);
        EXPECT_EQ(view.lastUsedButton()->isVisible(), c.shown);
        if (c.shown) {
            PresetButton* last = view.lastUsedButton();
            EXPECT_EQ(last->preset(), (SizePreset{1000, 800, QStringLiteral("Last used")}));
            EXPECT_LT(last->x(), view.presetButtons().front()->x()) << "comes first";
        }
    }
}

TEST_F(ControlBarTest, HighlightFollowsSelectionSize) {
    model.setPixelWidth(1920);
    model.setPixelHeight(1080);
    settle();
    for (PresetButton* b : bar.presetButtons()) {
        EXPECT_EQ(b->isSelected(), b->preset().id() == QStringLiteral("1920x1080"))
            << b->preset().id().toStdString();
    }
    // The swapped size moves the highlight to "Vertical".
    model.setPixelWidth(1080);
    model.setPixelHeight(1920);
    settle();
    for (PresetButton* b : bar.presetButtons()) {
        EXPECT_EQ(b->isSelected(), b->preset().id() == QStringLiteral("1080x1920"));
    }
    model.setPixelWidth(1081);
    settle();
    for (PresetButton* b : bar.presetButtons()) {
        EXPECT_FALSE(b->isSelected());
    }
}

TEST_F(ControlBarTest, LastUsedIsHighlightedWhenItMatches) {
    SelectionModel m;
    m.setLastWidth(1000);
    m.setLastHeight(800);
    ControlBarView view(&m);
    m.setPixelWidth(1000);
    m.setPixelHeight(800);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.lastUsedButton()->isSelected());
}

TEST_F(ControlBarTest, TooltipsGivePointSizeOnThisScreen) {
    model.setScale(2.0);
    settle();
    EXPECT_EQ(button("preset-3840x2160")->toolTip(),
              QString::fromUtf8("3840×2160 pixels = 1920×1080 logical pixels on this screen"));
    model.setScale(1.0);
    settle();
    EXPECT_EQ(button("preset-3840x2160")->toolTip(),
              QString::fromUtf8("3840×2160 pixels = 3840×2160 logical pixels on this screen"));

    SelectionModel m;
    m.setLastWidth(1001);
    m.setLastHeight(801);
    m.setScale(2.0);
    ControlBarView view(&m);
    EXPECT_EQ(view.lastUsedButton()->toolTip(),
              QString::fromUtf8("1001×801 pixels = 501×401 logical pixels on this screen"));
}

TEST_F(ControlBarTest, NoticeKeepsItsLineWhenEmpty) {
    bar.show();
    const QSize without = bar.sizeHint();
    const int lineHeight = bar.noticeLabel()->height();
    EXPECT_GT(lineHeight, 0);
    EXPECT_EQ(bar.noticeLabel()->palette().color(QPalette::WindowText).alpha(), 0);
    model.setNotice(QStringLiteral("Fits to screen"));
    settle();
    EXPECT_EQ(bar.noticeLabel()->text(), QStringLiteral("Fits to screen"));
    EXPECT_EQ(bar.noticeLabel()->palette().color(QPalette::WindowText).alpha(), 255);
    EXPECT_EQ(bar.sizeHint().height(), without.height());
    model.setNotice(std::nullopt);
    settle();
    EXPECT_EQ(bar.noticeLabel()->palette().color(QPalette::WindowText).alpha(), 0);
    EXPECT_EQ(bar.noticeLabel()->height(), lineHeight);
}

TEST_F(ControlBarTest, ButtonsRequestThroughTheModel) {
    std::vector<std::pair<int64_t, int64_t>> presets;
    int swaps = 0;
    int records = 0;
    int cancels = 0;
    QObject::connect(&model, &SelectionModel::presetRequested,
                     [&](qint64 w, qint64 h) { presets.emplace_back(w, h); });
    QObject::connect(&model, &SelectionModel::swapRequested, [&] { ++swaps; });
    QObject::connect(&model, &SelectionModel::recordRequested, [&] { ++records; });
    QObject::connect(&model, &SelectionModel::cancelRequested, [&] { ++cancels; });
    bar.show();
    QTest::mouseClick(button("preset-1080x1080"), Qt::LeftButton);
    QTest::mouseClick(button("preset-3840x2160"), Qt::LeftButton);
    QTest::mouseClick(button("swap"), Qt::LeftButton);
    QTest::mouseClick(button("record"), Qt::LeftButton);
    QTest::mouseClick(button("cancel"), Qt::LeftButton);
    EXPECT_EQ(presets, (std::vector<std::pair<int64_t, int64_t>>{{1080, 1080}, {3840, 2160}}));
    EXPECT_EQ(swaps, 1);
    EXPECT_EQ(records, 1);
    EXPECT_EQ(cancels, 1);
}

TEST_F(ControlBarTest, SelectedPresetIsDrawnYellow) {
    model.setPixelWidth(1280);
    model.setPixelHeight(720);
    bar.show();
    settle();
    const QImage image = bar.grab().toImage();
    const auto colourAt = [&](QAbstractButton* b) {
        // Near the top-left corner of the button, inside its rounded background.
        return image.pixelColor(b->geometry().topLeft() + QPoint(4, 10));
    };
    const QColor hd = colourAt(button("preset-1280x720"));
    EXPECT_EQ(hd, QColor(255, 204, 0));
    const QColor fullHd = colourAt(button("preset-1920x1080"));
    EXPECT_LT(fullHd.red(), 80) << "unselected presets are a faint white on the dark bar";
    const QColor record = colourAt(button("record"));
    EXPECT_GT(record.red(), 200);
    EXPECT_LT(record.green(), 100);
}

}  // namespace
}  // namespace vantorel
