#pragma once

#include <cstdint>

#include "platform/sample_buffer.h"

namespace vantorel {

// Turns the server's B,G,R,X pixels into an opaque BGRA frame of the buffer's size: copied when
// the sizes match, scaled bilinearly otherwise. The fourth byte of the server's pixels is
// undefined (0 on Xvfb), so it is always set to 255. `source` rows are `sourceWidth` pixels.
void convertFrame(const uint8_t* source, int sourceWidth, int sourceHeight,
                  PixelBuffer& destination);

}  // namespace vantorel
