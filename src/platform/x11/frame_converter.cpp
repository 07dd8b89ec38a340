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

void makeOpaque(PixelBuffer& buffer) {
    for (int y = 0; y < buffer.height; ++y) {
        uint8_t* row = buffer.bytes.data() + static_cast<size_t>(y) * buffer.bytesPerRow;
        copyRowOpaque(row, row, buffer.width);
    }
}

}  // namespace

void convertFrame(const uint8_t* source, int sourceWidth, int sourceHeight,
                  PixelBuffer& destination) {
    const int sourceStride = sourceWidth * 4;
    if (sourceWidth == destination.width && sourceHeight == destination.height) {
        for (int y = 0; y < sourceHeight; ++y) {
            copyRowOpaque(
                source + static_cast<size_t>(y) * sourceStride,
                destination.bytes.data() + static_cast<size_t>(y) * destination.bytesPerRow,
                sourceWidth);
        }
        return;
    }
    // libyuv's "ARGB" is B,G,R,A in memory, the byte order of the server's pixels.
    libyuv::ARGBScale(source, sourceStride, sourceWidth, sourceHeight, destination.bytes.data(),
                      destination.bytesPerRow, destination.width, destination.height,
                      libyuv::kFilterBilinear);
    makeOpaque(destination);
}

}  // namespace vantorel
