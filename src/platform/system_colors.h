#pragma once

#include <QRgb>

namespace vantorel {

// The red of the recording symbol, the outline and the stop button.
inline constexpr QRgb kRecordingRed = 0xFFFF3B30;

}  // namespace vantorel
