#pragma once

#include <cstdint>
#include <vector>

namespace vantorel::bench {

// Something like a desktop in 32-bit B,G,R,X pixels, `width` apart: a gradient wallpaper,
// windows with title bars, lines of glyph-like marks, coloured tiles. The same arguments give
// the same picture, so every recording of a run sees the same content.
std::vector<uint32_t> desktopPicture(int width, int height);

}  // namespace vantorel::bench
