#include "platform/wayland/monitor_mapping.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

bool sameSize(const DesktopMonitor& monitor, QSize shared) {
    return !shared.isValid() || shared.isEmpty() || monitor.geometry.size() == shared ||
           monitor.pixelSize == shared;
}

}  // namespace

bool sharesMonitor(const std::vector<DesktopMonitor>& monitors, const QString& wanted,
                   std::optional<QPoint> sharedPosition, QSize sharedSize) {
    std::vector<const DesktopMonitor*> fitting;
    for (const DesktopMonitor& monitor : monitors) {
        if (sameSize(monitor, sharedSize)) {
            fitting.push_back(&monitor);
        }
    }
    const bool placed = sharedPosition && !sharedPosition->isNull() &&
                        std::any_of(fitting.begin(), fitting.end(), [&](const DesktopMonitor* m) {
                            return m->geometry.topLeft() == *sharedPosition;
                        });
    if (placed) {
        std::erase_if(fitting, [&](const DesktopMonitor* m) {
            return m->geometry.topLeft() != *sharedPosition;
        });
    }
    return std::any_of(fitting.begin(), fitting.end(),
                       [&](const DesktopMonitor* m) { return m->name == wanted; });
}

QRect regionInStream(const QRect& region, QSize monitorSize, QSize streamSize) {
    if (monitorSize.isEmpty() || streamSize.isEmpty()) {
        return {};
    }
    const double sx = static_cast<double>(streamSize.width()) / monitorSize.width();
    const double sy = static_cast<double>(streamSize.height()) / monitorSize.height();
    // Edges rounded on their own, so that regions side by side stay side by side.
    const int left = static_cast<int>(std::lround(region.x() * sx));
    const int top = static_cast<int>(std::lround(region.y() * sy));
    const int right = static_cast<int>(std::lround((region.x() + region.width()) * sx));
    const int bottom = static_cast<int>(std::lround((region.y() + region.height()) * sy));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1))
        .intersected(QRect(QPoint(0, 0), streamSize));
}

}  // namespace vantorel
