#include "platform/ffmpeg/audio_timeline.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

// A block stamped at sample `start`, and where the timeline (jitter of 100 samples) puts it.
struct Block {
    int64_t start, frames, silence, skip, end;
};

struct TimelineCase {
    const char* name;
    std::vector<Block> blocks;
};

TEST(AudioTimeline, KeepsTheTrackContinuousAgainstTheStamps) {
    const TimelineCase cases[] = {
        {"contiguous", {{0, 480, 0, 0, 480}, {480, 480, 0, 0, 960}}},
        {"jitter is ignored", {{0, 480, 0, 0, 480}, {580, 480, 0, 0, 960}, {860, 480, 0, 0, 1440}}},
        {"late first block gets silence before", {{24000, 480, 24000, 0, 24480}}},
        {"just late first block is not padded", {{100, 480, 0, 0, 480}}},
        {"gap becomes silence", {{0, 480, 0, 0, 480}, {4800, 480, 4320, 0, 5280}}},
        {"overlap is cut", {{0, 480, 0, 0, 480}, {0, 480, 0, 480, 480}, {200, 480, 0, 280, 680}}},
        {"overlap longer than the block", {{0, 4800, 0, 0, 4800}, {1000, 480, 0, 480, 4800}}},
        {"block before the start", {{-960, 480, 0, 480, 0}, {0, 480, 0, 0, 480}}},
    };
    for (const TimelineCase& c : cases) {
        AudioTimeline timeline(100);
        for (const Block& block : c.blocks) {
            SCOPED_TRACE(::testing::Message() << c.name << ", block at " << block.start);
            const AudioTimeline::Placement placement = timeline.place(block.start, block.frames);
            EXPECT_EQ(placement.silence, block.silence);
            EXPECT_EQ(placement.skip, block.skip);
            EXPECT_EQ(timeline.end(), block.end);
        }
    }
}

}  // namespace
}  // namespace vantorel
