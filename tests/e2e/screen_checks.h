#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

#include <optional>

// Readings of what the program draws, taken from screenshots.
namespace vantorel::e2e {

struct CountdownReading {
    bool darkCentre = false;        // the circle behind the number
    int digitPixels = 0;            // white pixels of the number inside the circle
    std::optional<int> digit;       // which of 1, 2, 3 the white shape is most like
    bool cornersShowScene = false;  // the region round the circle is left as it was
};

// `region` is a grab of exactly the recorded region; `scene` is the colour that fills it.
CountdownReading readCountdown(const QImage& region, const QColor& scene);

// For each side of the region: the two rows of pixels 3 and 2 outside it are red, the one just
// outside and the region's own edge are not. `around` is a grab of the region grown by `margin`.
bool outlineHugsRegion(const QImage& around, int margin);

// Pixels of `image` on its outermost `depth` rows and columns that are the outline's red.
int redPixelsAtEdges(const QImage& image, int depth);
// Pixels on the outermost rows and columns further than `tolerance` from `color`.
int pixelsAtEdgesUnlike(const QImage& image, const QColor& color, int tolerance, int depth);

// The rectangle of pixels of `image` far from `background`, or nothing when there are none.
std::optional<QRect> inkExtent(const QImage& image, QRgb background, int threshold);

}  // namespace vantorel::e2e
