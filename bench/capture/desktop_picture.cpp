#include "desktop_picture.h"

#include <algorithm>
#include <cstddef>

namespace vantorel::bench {

namespace {

constexpr uint32_t rgb(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

// A cheap deterministic hash, so glyphs look irregular without a random generator.
uint32_t mix(uint32_t a, uint32_t b) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

void fillRect(std::vector<uint32_t>& pixels, int width, int height, int x0, int y0, int w, int h,
              uint32_t colour) {
    const int left = std::max(0, x0);
    const int x1 = std::min(width, x0 + w);
    const int y1 = std::min(height, y0 + h);
    if (x1 <= left) {
        return;
    }
    for (int y = std::max(0, y0); y < y1; ++y) {
        std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width + left,
                  pixels.begin() + static_cast<std::ptrdiff_t>(y) * width + x1, colour);
    }
}

// A window: title bar, white client area, text lines of glyph-like dark marks.
void drawWindow(std::vector<uint32_t>& pixels, int width, int height, int x0, int y0, int w, int h,
                uint32_t seed) {
    fillRect(pixels, width, height, x0, y0, w, h, rgb(250, 250, 250));
    fillRect(pixels, width, height, x0, y0, w, 24, rgb(60, 90, 140));
    for (int line = 0; 34 + line * 18 + 12 < h; ++line) {
        int x = 12;
        while (x + 8 < w - 12) {
            const uint32_t h1 = mix(seed + static_cast<uint32_t>(line), static_cast<uint32_t>(x));
            if (h1 % 9 == 0) {
                x += 9;  // a space between words
                continue;
            }
            const int glyphWidth = 5 + static_cast<int>(h1 % 4);
            const int glyphHeight = 8 + static_cast<int>((h1 >> 8) % 4);
            fillRect(pixels, width, height, x0 + x, y0 + 34 + line * 18 + (12 - glyphHeight),
                     glyphWidth, glyphHeight, rgb(30, 30, 40 + static_cast<int>(h1 % 60)));
            x += glyphWidth + 2;
        }
    }
}

}  // namespace

std::vector<uint32_t> desktopPicture(int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y) * width + x] =
                rgb(40 + (x * 80) / std::max(1, width), 70 + (y % 1080) * 60 / 1080,
                    140 + ((x + y) % 200) / 4);
        }
    }
    // Windows laid out down the picture, so a scroll through it keeps meeting new content.
    uint32_t seed = 1;
    for (int top = 20; top < height; top += 260) {
        for (int left = 20 + static_cast<int>(seed % 5) * 40; left < width; left += 560) {
            drawWindow(pixels, width, height, left, top, 500, 230, seed++);
        }
        for (int tile = 0; tile < width / 60; ++tile) {
            const uint32_t h = mix(seed, static_cast<uint32_t>(tile));
            fillRect(pixels, width, height, tile * 60 + 8, top + 236, 44, 20,
                     rgb(static_cast<int>(h & 0xFF), static_cast<int>((h >> 8) & 0xFF),
                         static_cast<int>((h >> 16) & 0xFF)));
        }
    }
    return pixels;
}

}  // namespace vantorel::bench
