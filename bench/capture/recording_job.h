#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace vantorel::bench {

// One recording to make, the same for every recorder of a comparison.
struct RecordingJob {
    std::string displayName;  // as in $DISPLAY
    int x = 0;                // the region in root pixels
    int y = 0;
    int width = 0;
    int height = 0;
    int frameRate = 30;
    double seconds = 10;  // from the first frame to the stop
    bool showsCursor = true;
    bool capturesSound = false;  // engine only
    double sampleSeconds = 0;    // engine only: see EngineRequest
    int encoderThreads = 2;      // what the engine's encoder uses on this machine
    std::string outputPath;
    std::string logPath;  // the recorder's standard error
    std::optional<pid_t> xServer;
    int writerQueue = 0;  // experiments: see EngineRequest
    int encoderNice = 0;
};

// The engine's bit rate and x264 entropy coding for the job, on this machine: ffmpeg is given the
// same, so that both encode alike.
long long engineBitRate(const RecordingJob& job);
const char* engineX264Params(const RecordingJob& job);

}  // namespace vantorel::bench
