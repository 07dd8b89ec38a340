// The encoder's pictures give back the memory of a burst once it has passed.
#include "platform/ffmpeg/yuv_pictures.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel::testing {
namespace {

VideoFrame grey(int width, int height) {
    auto bytes = std::make_shared<std::vector<uint8_t>>(size_t(width) * height * 4, 0x80);
    return VideoFrame{0, true, width, height, width * 4, {bytes, bytes->data()}};
}

// The pictures in use count towards those kept: while the encoder holds its last picture and one
// is queued, a burst that has passed leaves one spare, not a shelf of them.
TEST(YuvPictures, AfterABurstNoMoreThanThreeStayMappedCountingThoseInUse) {
    YuvPictures pictures(64, 48);
    pictures.prepare();
    EXPECT_EQ(pictures.mappedPictures(), 3u);
    const VideoFrame frame = grey(64, 48);
    std::vector<FramePtr> inUse;
    for (int i = 0; i < 2; ++i) {
        inUse.push_back(pictures.make(frame));
    }
    std::vector<FramePtr> burst;
    for (int i = 0; i < 4; ++i) {
        burst.push_back(pictures.make(frame));
        ASSERT_TRUE(burst.back());
    }
    EXPECT_EQ(pictures.mappedPictures(), 6u);
    burst.clear();
    EXPECT_EQ(pictures.mappedPictures(), 3u);
    inUse.clear();
    EXPECT_EQ(pictures.mappedPictures(), 3u);
}

}  // namespace
}  // namespace vantorel::testing
