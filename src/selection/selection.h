#pragma once

#include <QMetaType>
#include <QPointer>
#include <QRectF>
#include <QScreen>

#include <cstdint>

namespace vantorel {

// The region the user picked: its screen, its rectangle in that screen's logical pixels
// (origin at the screen's top-left corner, y downwards) and its size in device pixels.
struct Selection {
    QPointer<QScreen> screen;
    QRectF rect;
    int64_t pixelWidth = 0;
    int64_t pixelHeight = 0;
};

}  // namespace vantorel

Q_DECLARE_METATYPE(vantorel::Selection)
