#pragma once

#include <cstdint>

namespace vantorel {

// Turns the server's B,G,R,X pixels (rows packed, `sourceWidth` pixels each) into an opaque BGRA
// picture of `width` x `height` with rows `stride` bytes apart: copied when the sizes match,
// scaled bilinearly otherwise. The fourth byte of the server's pixels is undefined (0 on Xvfb),
// so it is always set to 255.
void convertFrame(const uint8_t* source, int sourceWidth, int sourceHeight, uint8_t* destination,
                  int width, int height, int stride);

}  // namespace vantorel
