#pragma once

#include <cstdint>

namespace vantorel {

// Turns B,G,R,X pixels (`sourceWidth` x `sourceHeight`, rows `sourceStride` bytes apart) into an
// opaque BGRA picture of `width` x `height` with rows `stride` bytes apart: copied when the sizes
// match, scaled bilinearly otherwise. The fourth byte of a display server's pixels is undefined
// (0 on Xvfb, anything in a compositor's BGRx buffer), so it is always set to 255.
void convertFrame(const uint8_t* source, int sourceWidth, int sourceHeight, int sourceStride,
                  uint8_t* destination, int width, int height, int stride);

}  // namespace vantorel
