#pragma once

#include <QString>

#include "capture/capture_source.h"

namespace vantorel {

// Everything the engine needs for one recording. Immutable once built.
struct RecorderConfig {
    CaptureRequest capture;
    // Where the MPEG-4 file goes: a name nothing uses yet (the writer never replaces a file).
    QString outputPath;
};

}  // namespace vantorel
