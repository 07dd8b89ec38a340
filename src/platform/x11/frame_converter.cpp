#include "platform/x11/frame_converter.h"

#include <libyuv/scale_argb.h>

namespace vantorel {

void scaleFrame(const uint8_t* source, int sourceWidth, int sourceHeight, uint8_t* destination,
                int width, int height, int stride) {
    // libyuv's "ARGB" is B,G,R,A in memory, the byte order of the server's pixels.
    libyuv::ARGBScale(source, sourceWidth * 4, sourceWidth, sourceHeight, destination, stride,
                      width, height, libyuv::kFilterBilinear);
}

}  // namespace vantorel
