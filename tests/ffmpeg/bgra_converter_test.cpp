#include "platform/ffmpeg/bgra_converter.h"

#include <gtest/gtest.h>

#include "platform/ffmpeg/av_handles.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

FramePtr yuvFrame(int width, int height) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    return frame;
}

int y(const AVFrame& frame, int column, int row) {
    return frame.data[0][row * frame.linesize[0] + column];
}
int u(const AVFrame& frame, int column, int row) {
    return frame.data[1][row / 2 * frame.linesize[1] + column / 2];
}
int v(const AVFrame& frame, int column, int row) {
    return frame.data[2][row / 2 * frame.linesize[2] + column / 2];
}

struct ColourCase {
    const char* name;
    Rgb colour;
    int y, u, v;  // BT.601, limited range
};

void PrintTo(const ColourCase& c, std::ostream* out) {
    *out << c.name;
}

class BgraConverterColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(BgraConverterColour, GivesBt601LimitedRange) {
    const ColourCase& c = GetParam();
    FramePtr frame = yuvFrame(16, 8);
    // Row padding full of 0xA5 must not leak into the picture.
    BgraConverter::convert(*solidPixels(16, 8, c.colour, 12), *frame);
    for (const auto& [column, row] : {std::pair{0, 0}, std::pair{15, 7}, std::pair{7, 4}}) {
        EXPECT_NEAR(y(*frame, column, row), c.y, 2);
        EXPECT_NEAR(u(*frame, column, row), c.u, 2);
        EXPECT_NEAR(v(*frame, column, row), c.v, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Colours, BgraConverterColour,
                         ::testing::Values(ColourCase{"Black", {0, 0, 0}, 16, 128, 128},
                                           ColourCase{"White", {255, 255, 255}, 235, 128, 128},
                                           ColourCase{"Red", {255, 0, 0}, 82, 90, 240},
                                           ColourCase{"Green", {0, 255, 0}, 145, 54, 34},
                                           ColourCase{"Blue", {0, 0, 255}, 41, 240, 110},
                                           ColourCase{"Grey", {128, 128, 128}, 126, 128, 128}),
                         [](const ::testing::TestParamInfo<ColourCase>& param) {
                             return std::string(param.param.name);
                         });

// Pixels whose left half is black and right half white, last column red, last row blue.
std::shared_ptr<const PixelBuffer> patterned(int width, int height) {
    auto pixels = std::make_shared<PixelBuffer>(*solidPixels(width, height, {0, 0, 0}));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            uint8_t* p = pixels->bytes.data() + row * pixels->bytesPerRow + column * 4;
            const Rgb colour = row == height - 1     ? Rgb{0, 0, 255}
                               : column == width - 1 ? Rgb{255, 0, 0}
                               : column >= width / 2 ? Rgb{255, 255, 255}
                                                     : Rgb{0, 0, 0};
            p[0] = colour.b;
            p[1] = colour.g;
            p[2] = colour.r;
        }
    }
    return pixels;
}

TEST(BgraConverter, RepeatsTheLastColumnAndRowOfAnOddSource) {
    FramePtr frame = yuvFrame(8, 6);
    BgraConverter::convert(*patterned(7, 5), *frame);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(y(*frame, 7, row), y(*frame, 6, row)) << "row " << row;
        EXPECT_NEAR(y(*frame, 7, row), 82, 2) << "row " << row;  // red
    }
    for (int column = 0; column < 8; ++column) {
        EXPECT_EQ(y(*frame, column, 5), y(*frame, column, 4)) << "column " << column;
        EXPECT_NEAR(y(*frame, column, 5), 41, 2) << "column " << column;  // blue
    }
    EXPECT_NEAR(y(*frame, 0, 0), 16, 2);
    EXPECT_NEAR(y(*frame, 4, 0), 235, 2);
}

TEST(BgraConverter, CutsALargerSourceToTheFrame) {
    FramePtr frame = yuvFrame(8, 4);
    BgraConverter::convert(*patterned(16, 8), *frame);
    // Only the black left half fits.
    for (int column = 0; column < 8; ++column) {
        EXPECT_NEAR(y(*frame, column, 3), 16, 2) << "column " << column;
    }
}

TEST(BgraConverter, GivesBlackForPixelsThatDoNotHoldTheirRows) {
    FramePtr frame = yuvFrame(8, 4);
    BgraConverter::convert(*solidPixels(8, 4, {255, 255, 255}), *frame);
    auto truncated = std::make_shared<PixelBuffer>(*solidPixels(8, 4, {255, 255, 255}));
    truncated->bytes.resize(truncated->bytes.size() / 2);
    BgraConverter::convert(*truncated, *frame);
    EXPECT_EQ(y(*frame, 3, 3), 16);
    EXPECT_EQ(u(*frame, 3, 3), 128);
}

}  // namespace
}  // namespace vantorel::testing
