#include "selection/selection_model.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace vantorel {
namespace {

TEST(SelectionModelTest, StartsEmpty) {
    SelectionModel model;
    EXPECT_EQ(model.pixelWidth(), 0);
    EXPECT_EQ(model.pixelHeight(), 0);
    EXPECT_EQ(model.scale(), 1.0);
    EXPECT_FALSE(model.notice().has_value());
    EXPECT_EQ(model.lastWidth(), 0);
    EXPECT_EQ(model.lastHeight(), 0);
}

// Observers see the old value when told: the change is announced before it is made.
TEST(SelectionModelTest, EveryAssignmentIsAnnouncedBeforeItHappens) {
    struct Field {
        const char* name;
        std::function<void(SelectionModel&)> assign;
        std::function<bool(const SelectionModel&)> isNew;
    };
    const std::vector<Field> fields = {
        {"pixelWidth", [](auto& m) { m.setPixelWidth(640); },
         [](const auto& m) { return m.pixelWidth() == 640; }},
        {"pixelHeight", [](auto& m) { m.setPixelHeight(480); },
         [](const auto& m) { return m.pixelHeight() == 480; }},
        {"scale", [](auto& m) { m.setScale(2.0); }, [](const auto& m) { return m.scale() == 2.0; }},
        {"notice", [](auto& m) { m.setNotice(QStringLiteral("Fits to screen")); },
         [](const auto& m) { return m.notice().has_value(); }},
        {"lastWidth", [](auto& m) { m.setLastWidth(1000); },
         [](const auto& m) { return m.lastWidth() == 1000; }},
        {"lastHeight", [](auto& m) { m.setLastHeight(800); },
         [](const auto& m) { return m.lastHeight() == 800; }},
    };
    for (const auto& field : fields) {
        SCOPED_TRACE(field.name);
        SelectionModel model;
        std::vector<bool> seenNew;
        QObject::connect(&model, &SelectionModel::willChange,
                         [&] { seenNew.push_back(field.isNew(model)); });
        field.assign(model);
        EXPECT_EQ(seenNew, std::vector<bool>{false});
        EXPECT_TRUE(field.isNew(model));
    }
}

TEST(SelectionModelTest, EqualValueStillNotifies) {
    SelectionModel model;
    QSignalSpy spy(&model, &SelectionModel::willChange);
    model.setPixelWidth(1920);
    model.setPixelWidth(1920);
    model.setNotice(std::nullopt);
    EXPECT_EQ(spy.count(), 3);
}

}  // namespace
}  // namespace vantorel
