#include "time_code.h"

#include <QColor>
#include <QPainter>

#include <chrono>

namespace vantorel::e2e::TimeCode {

namespace {

constexpr int kColumns = 8;
constexpr int kRows = 6;  // three of bits, three of their complement

QRect cell(const QRect& area, int column, int row) {
    const int w = area.width() / kColumns;
    const int h = area.height() / kRows;
    return QRect(area.x() + column * w, area.y() + row * h, w, h);
}

bool bitAt(uint32_t value, int index) {
    return ((value >> (kBits - 1 - index)) & 1u) != 0;
}

// The mean brightness of the middle half of a cell: its edges blur in the video.
int brightness(const QImage& image, const QRect& cellRect) {
    const QRect core = cellRect.adjusted(cellRect.width() / 4, cellRect.height() / 4,
                                         -cellRect.width() / 4, -cellRect.height() / 4);
    int64_t sum = 0;
    int64_t count = 0;
    for (int y = core.top(); y <= core.bottom(); y += 2) {
        for (int x = core.left(); x <= core.right(); x += 2) {
            sum += qGray(image.pixel(x, y));
            ++count;
        }
    }
    return count == 0 ? 0 : static_cast<int>(sum / count);
}

}  // namespace

uint32_t nowMs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
               std::chrono::duration_cast<std::chrono::milliseconds>(since).count()) &
           kMask;
}

void paint(QPainter& painter, const QRect& area, uint32_t value) {
    painter.fillRect(area, QColor(128, 128, 128));
    for (int index = 0; index < kBits; ++index) {
        const int column = index % kColumns;
        const int row = index / kColumns;
        const bool bit = bitAt(value, index);
        const int inset = 3;
        painter.fillRect(cell(area, column, row).adjusted(inset, inset, -inset, -inset),
                         bit ? Qt::white : Qt::black);
        painter.fillRect(cell(area, column, row + kRows / 2).adjusted(inset, inset, -inset, -inset),
                         bit ? Qt::black : Qt::white);
    }
}

std::optional<uint32_t> read(const QImage& image, const QRect& area) {
    if (!image.rect().contains(area)) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (int index = 0; index < kBits; ++index) {
        const int column = index % kColumns;
        const int row = index / kColumns;
        const int bit = brightness(image, cell(area, column, row));
        const int complement = brightness(image, cell(area, column, row + kRows / 2));
        // A clean cell pair is one bright and one dark; anything else is a mixed or dimmed frame.
        const bool one = bit > 170 && complement < 85;
        const bool zero = bit < 85 && complement > 170;
        if (!one && !zero) {
            return std::nullopt;
        }
        value = (value << 1) | (one ? 1u : 0u);
    }
    return value;
}

int64_t msBetween(uint32_t earlier, uint32_t later) {
    return static_cast<int64_t>((later - earlier) & kMask);
}

}  // namespace vantorel::e2e::TimeCode
