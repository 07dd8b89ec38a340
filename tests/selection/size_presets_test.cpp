#include "selection/size_presets.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(SizePresetsTest, ListInOrder) {
    const auto& all = SizePresets::all();
    ASSERT_EQ(all.size(), 5u);
    const struct {
        int64_t w, h;
        const char* caption;
        const char* id;
    } expected[] = {
        {1920, 1080, "Full HD", "1920x1080"},  {1280, 720, "HD", "1280x720"},
        {1080, 1920, "Vertical", "1080x1920"}, {1080, 1080, "Square", "1080x1080"},
        {3840, 2160, "4K", "3840x2160"},
    };
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].width, expected[i].w);
        EXPECT_EQ(all[i].height, expected[i].h);
        EXPECT_EQ(all[i].caption, QString::fromUtf8(expected[i].caption));
        EXPECT_EQ(all[i].id(), QString::fromUtf8(expected[i].id));
    }
}

TEST(SizePresetsTest, EqualityTakesCaptionIntoAccount) {
    EXPECT_EQ((SizePreset{1000, 800, "Last used"}), (SizePreset{1000, 800, "Last used"}));
    EXPECT_NE((SizePreset{1000, 800, "Last used"}), (SizePreset{1000, 800, "Other"}));
    EXPECT_NE((SizePreset{1000, 800, "A"}), (SizePreset{800, 1000, "A"}));
}

TEST(SizePresetsTest, ShowsLastOnlyForAStoredSizeThatIsNoPreset) {
    const struct {
        int64_t w, h;
        bool shows;
    } cases[] = {
        {0, 0, false},      {1280, 0, false},    {0, 720, false},    {-1, 720, false},
        {1280, 720, false}, {1080, 1920, false}, {1000, 800, true},  {720, 1280, true},
        {1, 1, true},       {3840, 2160, false}, {1920, 1081, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizePresets::showsLast(c.w, c.h), c.shows) << c.w << "x" << c.h;
    }
}

TEST(SizePresetsTest, PointSizeUsesScaleOfAtLeastOne) {
    const struct {
        SizePreset preset;
        double scale;
        int64_t w, h;
    } cases[] = {
        {{3840, 2160, "4K"}, 2.0, 1920, 1080}, {{3840, 2160, "4K"}, 1.0, 3840, 2160},
        {{3840, 2160, "4K"}, 0.5, 3840, 2160}, {{1001, 801, "Last used"}, 2.0, 501, 401},
        {{1000, 800, "x"}, 1.5, 667, 533},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizePresets::pointSize(c.preset, c.scale), std::make_pair(c.w, c.h))
            << c.preset.id().toStdString() << " at " << c.scale;
    }
}

TEST(SizePresetsTest, Texts) {
    EXPECT_EQ(SizePresets::sizeText(1920, 1080), QString::fromUtf8("1920×1080"));
    EXPECT_EQ(SizePresets::tooltipText({3840, 2160, "4K"}, 2.0),
              QString::fromUtf8("3840×2160 pixels = 1920×1080 logical pixels on this screen"));
    EXPECT_EQ(SizePresets::tooltipText({1920, 1080, "Full HD"}, 1.0),
              QString::fromUtf8("1920×1080 pixels = 1920×1080 logical pixels on this screen"));
    EXPECT_EQ(SizePresets::tooltipText({1001, 801, "Last used"}, 2.0),
              QString::fromUtf8("1001×801 pixels = 501×401 logical pixels on this screen"));
}

}  // namespace
}  // namespace vantorel
