#include "platform/ffmpeg/audio_timeline.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

TEST(AudioTimeline, KeepsTheTrackContinuousAgainstTheStamps) {
    // Blocks stamped at sample `start`, and where a timeline with 100 samples of jitter puts them.
    struct Block {
        int64_t start, frames, silence, skip, end;
    };
    const std::vector<std::vector<Block>> cases = {
        {{0, 480, 0, 0, 480}, {480, 480, 0, 0, 960}},                          // contiguous
        {{0, 480, 0, 0, 480}, {580, 480, 0, 0, 960}, {860, 480, 0, 0, 1440}},  // jitter ignored
        {{24000, 480, 24000, 0, 24480}},                    // late first block: silence first
        {{100, 480, 0, 0, 480}},                            // just late: not padded
        {{0, 480, 0, 0, 480}, {4800, 480, 4320, 0, 5280}},  // a gap becomes silence
        {{0, 480, 0, 0, 480}, {0, 480, 0, 480, 480}, {200, 480, 0, 280, 680}},  // overlaps cut
        {{0, 4800, 0, 0, 4800}, {1000, 480, 0, 480, 4800}},  // an overlap longer than the block
        {{-960, 480, 0, 480, 0}, {0, 480, 0, 0, 480}},       // a block before the start
    };
    for (size_t c = 0; c < cases.size(); ++c) {
        AudioTimeline timeline(100);
        for (const Block& block : cases[c]) {
            SCOPED_TRACE(::testing::Message() << "case " << c << ", block at " << block.start);
            const AudioTimeline::Placement placement = timeline.place(block.start, block.frames);
            EXPECT_EQ(placement.silence, block.silence);
            EXPECT_EQ(placement.skip, block.skip);
            EXPECT_EQ(timeline.end(), block.end);
        }
    }
}

}  // namespace
}  // namespace vantorel
