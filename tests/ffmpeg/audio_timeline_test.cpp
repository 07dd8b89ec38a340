#include "platform/ffmpeg/audio_timeline.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

TEST(AudioTimeline, KeepsTheTrackContinuousAgainstTheStamps) {
    // Blocks stamped at sample `start`, and where a timeline that pulls in up to 100 samples and
    // leaves up to 20 alone puts them.
    struct Block {
        int64_t start, frames, silence, skip;
        bool repeat;
        int64_t end;
    };
    const std::vector<std::vector<Block>> cases = {
        {{0, 480, 0, 0, false, 480}, {480, 480, 0, 0, false, 960}},  // contiguous
        {{0, 480, 0, 0, false, 480},
         {490, 480, 0, 0, false, 960},
         {950, 480, 0, 0, false, 1440}},  // jitter left alone
        {{0, 480, 0, 0, false, 480},
         {540, 480, 0, 0, true, 961},
         {1000, 480, 0, 0, true, 1442},
         {1400, 480, 0, 1, false, 1921}},        // drift pulled in a sample per block
        {{24000, 480, 24000, 0, false, 24480}},  // late first block: silence first
        {{0, 480, 0, 0, false, 480}, {4800, 480, 4320, 0, false, 5280}},  // a gap: silence
        {{0, 480, 0, 0, false, 480},
         {0, 480, 0, 480, false, 480},
         {200, 480, 0, 280, false, 680}},                                  // overlaps cut
        {{0, 4800, 0, 0, false, 4800}, {1000, 480, 0, 480, false, 4800}},  // longer than the block
        {{-960, 480, 0, 480, false, 0}, {0, 480, 0, 0, false, 480}},  // a block before the start
    };
    for (size_t c = 0; c < cases.size(); ++c) {
        AudioTimeline timeline(100, 20);
        for (const Block& block : cases[c]) {
            SCOPED_TRACE(::testing::Message() << "case " << c << ", block at " << block.start);
            const AudioTimeline::Placement placement = timeline.place(block.start, block.frames);
            EXPECT_EQ(placement.silence, block.silence);
            EXPECT_EQ(placement.skip, block.skip);
            EXPECT_EQ(placement.repeat, block.repeat);
            EXPECT_EQ(timeline.end(), block.end);
        }
    }
}

}  // namespace
}  // namespace vantorel
