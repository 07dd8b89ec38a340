#pragma once

#include <QRect>
#include <QTimer>

#include "color_window.h"

namespace vantorel::testing {

// Another program's windows round a region that is being recorded: a band of one colour round
// it, so that a recording cut a pixel off shows it at its edge, and a flat fill inside with a
// square that blinks, so that frames keep coming (a compositor sends none for a still screen).
// Repainted all the time: X keeps no pixels of a window that was covered.
class RegionScene {
  public:
    static constexpr QRgb kFill = 0xff6ea0e6;
    static constexpr QRgb kBand = 0xff28c83c;

    explicit RegionScene(const QRect& region)
        : band_("", region.x() - 16, region.y() - 16, region.width() + 32, region.height() + 32),
          fill_("", region.x(), region.y(), region.width(), region.height()) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            band_.fill(kBand & 0xffffff);
            fill_.fill(kFill & 0xffffff);
            if (++ticks_ % 2 == 0) {
                fill_.fill(0x203040, 20, 150, 40, 40);
            }
        });
        timer_.start(100);
    }

  private:
    ColorWindow band_;
    ColorWindow fill_;
    QTimer timer_;
    int ticks_ = 0;
};

}  // namespace vantorel::testing
