#pragma once

#include <cstdint>

namespace vantorel {

// Turns B,G,R,X pixels (`sourceWidth` x `sourceHeight`, rows `sourceStride` bytes apart) into a
// picture of `width` x `height` with rows `stride` bytes apart: copied when the sizes match,
// scaled bilinearly otherwise. The fourth byte is carried over as it is (0 on Xvfb, anything in a
// compositor's BGRx buffer): nothing reads it.
void convertFrame(const uint8_t* source, int sourceWidth, int sourceHeight, int sourceStride,
                  uint8_t* destination, int width, int height, int stride);

}  // namespace vantorel
