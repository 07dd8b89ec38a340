// The encoder's pictures give back the memory of a burst once it has passed, and keep what
// every few frames need.
#include "platform/ffmpeg/yuv_pictures.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace vantorel::testing {
namespace {

constexpr int kStretch = 240;  // pictures made: four seconds at 60 fps

VideoFrame grey(int width, int height) {
    auto bytes = std::make_shared<std::vector<uint8_t>>(size_t(width) * height * 4, 0x80);
    return VideoFrame{0, true, width, height, width * 4, {bytes, bytes->data()}};
}

// Each step makes a picture while `held` are in use, then lets go of the oldest, so that `held`
// stay in use; returns the most pictures mapped after a step.
size_t steady(YuvPictures& pictures, std::deque<FramePtr>& inUse, size_t held) {
    const VideoFrame frame = grey(pictures.width(), pictures.height());
    size_t most = 0;
    for (int i = 0; i < kStretch; ++i) {
        inUse.push_back(pictures.make(frame));
        EXPECT_TRUE(inUse.back());
        while (inUse.size() > held) {
            inUse.pop_front();
        }
        most = std::max(most, pictures.mappedPictures());
    }
    return most;
}

TEST(YuvPictures, SparesLeftOverFromABurstAreUnmappedAndOnesInRegularUseAreKept) {
    YuvPictures pictures(64, 48);
    pictures.prepare();
    EXPECT_EQ(pictures.mappedPictures(), 3u);
    // The encoder's last picture and one queued while the next is made.
    std::deque<FramePtr> inUse;
    EXPECT_EQ(steady(pictures, inUse, 2), 3u);
    // The encoder fell behind: six pictures at once.
    for (int i = 0; i < 4; ++i) {
        inUse.push_back(pictures.make(grey(64, 48)));
    }
    EXPECT_EQ(pictures.mappedPictures(), 6u);
    inUse.resize(2);
    steady(pictures, inUse, 2);
    EXPECT_EQ(pictures.mappedPictures(), 3u);
    // At 4K the queue often holds two: the fourth picture stays rather than being made again.
    EXPECT_EQ(steady(pictures, inUse, 3), 4u);
    EXPECT_EQ(pictures.mappedPictures(), 4u);
}

}  // namespace
}  // namespace vantorel::testing
