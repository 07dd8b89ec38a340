#include <gtest/gtest.h>

#include "platform/media_time.h"

namespace vantorel {
namespace {

TEST(MediaTime, InvalidSortsBelowEveryValidTimeAndEqualsItself) {
    const MediaTime invalid = MediaTime::invalid();
    const MediaTime early = MediaTime::make(-5, 1);
    EXPECT_FALSE(invalid.isValid());
    EXPECT_LT(compare(invalid, early), 0);
    EXPECT_GT(compare(early, invalid), 0);
    EXPECT_EQ(compare(invalid, MediaTime::invalid()), 0);
}

TEST(MediaTime, ComparesExactlyAcrossTimescales) {
    struct Case {
        MediaTime a;
        MediaTime b;
        int expected;
    };
    const Case cases[] = {
        {MediaTime::make(1, 30), MediaTime::make(2, 60), 0},
        {MediaTime::make(1, 30), MediaTime::make(33'333'333, 1'000'000'000), 1},
        {MediaTime::make(1, 60), MediaTime::make(1, 30), -1},
        // Large host-clock values must not overflow when cross-multiplied.
        {MediaTime::fromNanoseconds(9'000'000'000'000'000'000), MediaTime::make(9'000'000'000, 1),
         0},
        {MediaTime::fromNanoseconds(9'000'000'000'000'000'001), MediaTime::make(9'000'000'000, 1),
         1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compare(c.a, c.b), c.expected) << c.a.value << "/" << c.a.timescale;
    }
}

TEST(MediaTime, EarlierEpochComesFirst) {
    MediaTime later = MediaTime::make(1, 1);
    later.epoch = 1;
    EXPECT_LT(compare(MediaTime::make(100, 1), later), 0);
}

TEST(MediaTime, ZeroTimescaleIsNotValid) {
    EXPECT_FALSE(MediaTime::make(1, 0).isValid());
}

TEST(MediaTime, ConvertsToNanoseconds) {
    EXPECT_EQ(MediaTime::make(3, 2).nanoseconds(), 1'500'000'000);
    EXPECT_DOUBLE_EQ(MediaTime::make(1, 4).seconds(), 0.25);
}

}  // namespace
}  // namespace vantorel
