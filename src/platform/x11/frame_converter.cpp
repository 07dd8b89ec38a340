#include "platform/x11/frame_converter.h"

#include <libyuv/scale_argb.h>

#include <cstring>

namespace vantorel {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

void copyRowOpaque(const uint8_t* source, uint8_t* destination, int pixels) {
    for (int i = 0; i < pixels; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, source + 4 * i, 4);
        pixel |= kOpaque;
        std::memcpy(destination + 4 * i, &pixel, 4);
    }
}

}  // namespace

void convertFrame(const uint8_t* source, int sourceWidth, int sourceHeight, uint8_t* destination,
                  int width, int height, int stride) {
    const int sourceStride = sourceWidth * 4;
    if (sourceWidth == width && sourceHeight == height) {
        for (int y = 0; y < height; ++y) {
            copyRowOpaque(source + static_cast<size_t>(y) * sourceStride,
                          destination + static_cast<size_t>(y) * stride, width);
        }
        return;
    }
    // libyuv's "ARGB" is B,G,R,A in memory, the byte order of the server's pixels.
    libyuv::ARGBScale(source, sourceStride, sourceWidth, sourceHeight, destination, stride, width,
                      height, libyuv::kFilterBilinear);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = destination + static_cast<size_t>(y) * stride;
        copyRowOpaque(row, row, width);
    }
}

}  // namespace vantorel
