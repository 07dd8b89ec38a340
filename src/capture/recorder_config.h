#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/capture_service.h"

namespace vantorel {

// Everything the capture engine needs for one recording. Immutable once built.
struct RecorderConfig {
    ContentFilterRef filter;  // one display, less the program's own windows
    CaptureRect sourceRect;   // in the display's points, passed to the stream unchanged
    int64_t pixelWidth = 0;   // size of the captured frames and of the video
    int64_t pixelHeight = 0;
    int64_t frameRate = 30;  // frames per second; fits a 32-bit time scale
    bool showsCursor = true;
    bool capturesAudio = false;  // system sound as a second track
    std::filesystem::path outputURL;
};

}  // namespace vantorel
