#pragma once

#include <cstdint>

namespace vantorel {

// Scales the server's B,G,R,X pixels (rows packed, `sourceWidth` pixels each) bilinearly into a
// picture of `width` x `height` with rows `stride` bytes apart, for a region recorded at another
// size than it has on the screen.
void scaleFrame(const uint8_t* source, int sourceWidth, int sourceHeight, uint8_t* destination,
                int width, int height, int stride);

}  // namespace vantorel
