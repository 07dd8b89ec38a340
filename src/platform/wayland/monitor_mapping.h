#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace vantorel {

// A monitor as the program's windows see it (through XWayland): its name, where it lies in the
// desktop's layout, and its size in the device pixels a capture region is measured in.
struct DesktopMonitor {
    QString name;
    QRect geometry;  // logical pixels
    QSize pixelSize;
};

// Whether the monitor the portal shares is `wanted`. The portal names no monitor, so it is told
// by its size, logical or in pixels (back ends differ), and by its position where that tells
// something: some back ends report (0, 0) for every monitor, so (0, 0) counts as no position.
// A share that fits `wanted` and another monitor alike cannot be told apart and is taken.
bool sharesMonitor(const std::vector<DesktopMonitor>& monitors, const QString& wanted,
                   std::optional<QPoint> sharedPosition, QSize sharedSize);

// The pixels of a stream of `streamSize` that show `region` of a monitor measured as
// `monitorSize`: both are scaled by the stream's pixels per monitor pixel, which differs from 1
// under integer and fractional output scaling. Clipped to the stream; empty when off it.
QRect regionInStream(const QRect& region, QSize monitorSize, QSize streamSize);

}  // namespace vantorel
