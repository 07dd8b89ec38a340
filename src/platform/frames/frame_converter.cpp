#include "platform/frames/frame_converter.h"

#include <libyuv/scale_argb.h>

#include <cstring>

namespace vantorel {

void convertFrame(const uint8_t* source, int sourceWidth, int sourceHeight, int sourceStride,
                  uint8_t* destination, int width, int height, int stride) {
    if (sourceWidth == width && sourceHeight == height) {
        for (int y = 0; y < height; ++y) {
            std::memcpy(destination + static_cast<size_t>(y) * stride,
                        source + static_cast<size_t>(y) * sourceStride,
                        static_cast<size_t>(width) * 4);
        }
        return;
    }
    // libyuv's "ARGB" is B,G,R,A in memory, the byte order of BGRx pixels.
    libyuv::ARGBScale(source, sourceStride, sourceWidth, sourceHeight, destination, stride, width,
                      height, libyuv::kFilterBilinear);
}

}  // namespace vantorel
