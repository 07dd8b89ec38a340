#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <utility>

namespace vantorel {

// A region size in pixels offered by the control bar, with the short name shown under it.
struct SizePreset {
    int64_t width = 0;
    int64_t height = 0;
    QString caption;

    // "<width>x<height>", e.g. "1920x1080".
    QString id() const;
    bool operator==(const SizePreset&) const = default;
};

namespace SizePresets {

// The bar's presets, in the order they are shown.
const std::array<SizePreset, 5>& all();

// Whether the size of the last recording earns its own "Last used" button: it must exist
// (both sides at least 1) and not repeat one of all().
bool showsLast(int64_t lastWidth, int64_t lastHeight);

// A preset's size in logical pixels on a screen of `scale`, which counts as at least 1 so that
// a preset never looks larger than its pixel size.
std::pair<int64_t, int64_t> logicalSize(const SizePreset& preset, double scale);

// "1920×1080", the size line of a preset button.
QString sizeText(int64_t width, int64_t height);

// "1920×1080 pixels = 960×540 logical pixels on this screen".
QString tooltipText(const SizePreset& preset, double scale);

}  // namespace SizePresets

}  // namespace vantorel
