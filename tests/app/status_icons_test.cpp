#include <gtest/gtest.h>

#include <QImage>

#include <cmath>

#include "app/status_icons.h"

namespace vantorel::testing {
namespace {

// The largest difference in lightness (0 to 255) between the panel and any pixel of the symbol
// laid over it, at the size most panels use.
int strongestContrast(const QIcon& icon, const QColor& panel) {
    const QImage image = icon.pixmap(22).toImage().convertToFormat(QImage::Format_ARGB32);
    const double under = qGray(panel.rgb());
    double strongest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const double alpha = qAlpha(pixel) / 255.0;
            const double seen = alpha * qGray(pixel) + (1 - alpha) * under;
            strongest = std::max(strongest, std::abs(seen - under));
        }
    }
    return static_cast<int>(strongest);
}

// Panels are light or dark whatever the application's palette says.
TEST(StatusIcons, TheIdleSymbolStandsOutOnLightAndDarkPanelsWithEitherPalette) {
    for (const QColor text : {QColor(Qt::black), QColor(Qt::white)}) {
        for (const QColor panel : {QColor(Qt::black), QColor(Qt::white), QColor(0x40, 0x40, 0x40),
                                   QColor(0xe0, 0xe0, 0xe0)}) {
            EXPECT_GE(strongestContrast(drawStatusSymbol(StatusSymbol::recordCircle, text), panel),
                      128)
                << "text " << text.name().toStdString() << " on " << panel.name().toStdString();
        }
    }
}

}  // namespace
}  // namespace vantorel::testing
