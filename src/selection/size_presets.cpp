#include "selection/size_presets.h"

#include "selection/selection_math.h"

#include <QCoreApplication>

#include <algorithm>

namespace vantorel {

QString SizePreset::id() const {
    return QStringLiteral("%1x%2").arg(width).arg(height);
}

namespace SizePresets {

const std::array<SizePreset, 5>& all() {
    static const std::array<SizePreset, 5> presets = {
        SizePreset{1920, 1080, QStringLiteral("Full HD")},
        SizePreset{1280, 720, QStringLiteral("HD")},
        SizePreset{1080, 1920, QStringLiteral("Vertical")},
        SizePreset{1080, 1080, QStringLiteral("Square")},
        SizePreset{3840, 2160, QStringLiteral("4K")},
    };
    return presets;
}

bool showsLast(int64_t lastWidth, int64_t lastHeight) {
    if (lastWidth < 1 || lastHeight < 1) {
        return false;
    }
    return std::none_of(all().begin(), all().end(), [&](const SizePreset& preset) {
        return preset.width == lastWidth && preset.height == lastHeight;
    });
}

std::pair<int64_t, int64_t> logicalSize(const SizePreset& preset, double scale) {
    const double s = std::max(scale, 1.0);
    return {roundToInt(static_cast<double>(preset.width) / s),
            roundToInt(static_cast<double>(preset.height) / s)};
}

QString sizeText(int64_t width, int64_t height) {
    return QCoreApplication::translate("ControlBar", "%1\u00d7%2").arg(width).arg(height);
}

QString tooltipText(const SizePreset& preset, double scale) {
    const auto [logicalWidth, logicalHeight] = logicalSize(preset, scale);
    return QCoreApplication::translate(
               "ControlBar", "%1\u00d7%2 pixels = %3\u00d7%4 logical pixels on this screen")
        .arg(preset.width)
        .arg(preset.height)
        .arg(logicalWidth)
        .arg(logicalHeight);
}

}  // namespace SizePresets

}  // namespace vantorel
