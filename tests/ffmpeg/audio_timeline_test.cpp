#include "platform/ffmpeg/audio_timeline.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

struct Block {
    int64_t start;
    int64_t frames;
    int64_t silence;  // expected
    int64_t skip;     // expected
    int64_t end;      // expected track end afterwards
};

struct TimelineCase {
    const char* name;
    std::vector<Block> blocks;
};

void PrintTo(const TimelineCase& c, std::ostream* out) {
    *out << c.name;
}

class AudioTimelinePlacement : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(AudioTimelinePlacement, PlacesEachBlock) {
    AudioTimeline timeline(100);
    for (const Block& block : GetParam().blocks) {
        const AudioTimeline::Placement placement = timeline.place(block.start, block.frames);
        EXPECT_EQ(placement.silence, block.silence) << "block at " << block.start;
        EXPECT_EQ(placement.skip, block.skip) << "block at " << block.start;
        EXPECT_EQ(timeline.end(), block.end) << "block at " << block.start;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AudioTimelinePlacement,
    ::testing::Values(
        TimelineCase{"Contiguous",
                     {{0, 480, 0, 0, 480}, {480, 480, 0, 0, 960}, {960, 480, 0, 0, 1440}}},
        TimelineCase{"JitterWithinToleranceIsIgnored",
                     {{0, 480, 0, 0, 480}, {580, 480, 0, 0, 960}, {860, 480, 0, 0, 1440}}},
        TimelineCase{"FirstBlockLateGetsSilenceBefore", {{24000, 480, 24000, 0, 24480}}},
        TimelineCase{"FirstBlockJustLateIsNotPadded", {{100, 480, 0, 0, 480}}},
        TimelineCase{"GapBecomesSilence", {{0, 480, 0, 0, 480}, {4800, 480, 4320, 0, 5280}}},
        TimelineCase{"OverlapIsSkipped",
                     {{0, 480, 0, 0, 480}, {0, 480, 0, 480, 480}, {200, 480, 0, 280, 680}}},
        TimelineCase{"OverlapLongerThanBlockSkipsAll",
                     {{0, 4800, 0, 0, 4800}, {1000, 480, 0, 480, 4800}}},
        TimelineCase{"BlockBeforeSessionStartIsSkipped",
                     {{-960, 480, 0, 480, 0}, {0, 480, 0, 0, 480}}}),
    [](const ::testing::TestParamInfo<TimelineCase>& param) {
        return std::string(param.param.name);
    });

}  // namespace
}  // namespace vantorel
