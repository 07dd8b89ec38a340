#include "screen_checks.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>

#include "desktop.h"

namespace vantorel::e2e {

namespace {

bool isDigitWhite(QRgb pixel) {
    return qRed(pixel) > 215 && qGreen(pixel) > 215 && qBlue(pixel) > 215;
}

// A shape scaled into a small grid, so that two renderings of a digit can be compared.
using Shape = std::array<std::array<bool, 24>, 32>;

Shape shapeOf(const std::function<bool(int, int)>& on, const QRect& box) {
    Shape shape{};
    for (int gy = 0; gy < 32; ++gy) {
        for (int gx = 0; gx < 24; ++gx) {
            const int x = box.left() + (gx * box.width() + box.width() / 2) / 24;
            const int y = box.top() + (gy * box.height() + box.height() / 2) / 32;
            shape[static_cast<size_t>(gy)][static_cast<size_t>(gx)] = on(x, y);
        }
    }
    return shape;
}

std::optional<QRect> boxOf(const QImage& image, const std::function<bool(QRgb)>& on,
                           const QRect& within) {
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x) {
            if (on(image.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box.isEmpty() ? std::nullopt : std::optional<QRect>(box);
}

// The digit drawn in a bold face at the size of the seen one; any face will do, since only
// 1, 2 and 3 are told apart.
Shape referenceShape(int digit, int height) {
    QImage image(height * 2, height * 2, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    QFont font;
    font.setBold(true);
    font.setPixelSize(height * 4 / 3);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter, QString::number(digit));
    painter.end();
    const std::optional<QRect> box = boxOf(image, isDigitWhite, image.rect());
    if (!box) {
        return {};
    }
    return shapeOf([&](int x, int y) { return isDigitWhite(image.pixel(x, y)); }, *box);
}

int agreement(const Shape& a, const Shape& b) {
    int same = 0;
    for (size_t y = 0; y < a.size(); ++y) {
        for (size_t x = 0; x < a[y].size(); ++x) {
            same += a[y][x] == b[y][x] ? 1 : 0;
        }
    }
    return same;
}

}  // namespace

CountdownReading readCountdown(const QImage& region, const QColor& scene) {
    CountdownReading reading;
    if (region.isNull()) {
        return reading;
    }
    const QPoint centre = region.rect().center();
    // The circle is 0.8 of the shorter side, at most 180 pixels across.
    const int radius = std::min(90, std::min(region.width(), region.height()) * 2 / 5);
    const QRect circleBox(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);

    // The ring between the number and the circle's edge is dark.
    int dark = 0;
    int samples = 0;
    for (int angle = 0; angle < 360; angle += 15) {
        const double r = radius * 0.85;
        const int x = centre.x() + static_cast<int>(r * std::cos(angle * std::numbers::pi / 180));
        const int y = centre.y() + static_cast<int>(r * std::sin(angle * std::numbers::pi / 180));
        dark += luminance(region.pixel(x, y)) < 70 ? 1 : 0;
        ++samples;
    }
    reading.darkCentre = dark == samples;

    const std::optional<QRect> box = boxOf(region, isDigitWhite, circleBox);
    if (box) {
        for (int y = box->top(); y <= box->bottom(); ++y) {
            for (int x = box->left(); x <= box->right(); ++x) {
                reading.digitPixels += isDigitWhite(region.pixel(x, y)) ? 1 : 0;
            }
        }
        const Shape seen =
            shapeOf([&](int x, int y) { return isDigitWhite(region.pixel(x, y)); }, *box);
        int best = -1;
        for (int digit = 1; digit <= 3; ++digit) {
            const int score = agreement(seen, referenceShape(digit, box->height()));
            if (score > best) {
                best = score;
                reading.digit = digit;
            }
        }
    }

    const std::array<QPoint, 3> corners = {QPoint(region.width() - 12, 12),
                                           QPoint(12, region.height() - 12),
                                           QPoint(region.width() - 12, region.height() - 12)};
    reading.cornersShowScene = std::all_of(corners.begin(), corners.end(), [&](QPoint p) {
        return colorDistance(region.pixel(p), scene.rgb()) < 24;
    });
    return reading;
}

bool outlineHugsRegion(const QImage& around, int margin) {
    if (around.isNull()) {
        return false;
    }
    const QRect region = around.rect().adjusted(margin, margin, -margin, -margin);
    // Distance outside the region (negative inside) → whether that band must be red.
    const std::array<std::pair<int, bool>, 5> bands = {
        {{4, false}, {3, true}, {2, true}, {1, false}, {0, false}}};
    for (const auto& [distance, red] : bands) {
        for (int t = 10; t < 90; t += 5) {
            const int x = region.left() + region.width() * t / 100;
            const int y = region.top() + region.height() * t / 100;
            const std::array<QPoint, 4> probes = {QPoint(x, region.top() - distance),     // above
                                                  QPoint(x, region.bottom() + distance),  // below
                                                  QPoint(region.left() - distance, y),    // left
                                                  QPoint(region.right() + distance, y)};  // right
            for (QPoint p : probes) {
                if (isOutlineRed(around.pixel(p)) != red) {
                    return false;
                }
            }
        }
    }
    return true;
}

namespace {

int countAtEdges(const QImage& image, int depth, const std::function<bool(QRgb)>& counted) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool edge =
                x < depth || y < depth || x >= image.width() - depth || y >= image.height() - depth;
            if (edge && counted(image.pixel(x, y))) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

int redPixelsAtEdges(const QImage& image, int depth) {
    return countAtEdges(image, depth, isOutlineRed);
}

int pixelsAtEdgesUnlike(const QImage& image, const QColor& color, int tolerance, int depth) {
    return countAtEdges(image, depth,
                        [&](QRgb pixel) { return colorDistance(pixel, color.rgb()) > tolerance; });
}

std::optional<QRect> inkExtent(const QImage& image, QRgb background, int threshold) {
    return boxOf(
        image, [&](QRgb pixel) { return colorDistance(pixel, background) > threshold; },
        image.rect());
}

}  // namespace vantorel::e2e
