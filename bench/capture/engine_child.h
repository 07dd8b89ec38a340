#pragma once

#include <string>
#include <string_view>

namespace vantorel::bench {

// One recording with the real engine, made in a process of its own so that the kernel counts
// its CPU time and memory exactly as it counts ffmpeg's.
struct EngineRequest {
    std::string displayName;  // empty: $DISPLAY
    int x = 0;                // the region in root pixels
    int y = 0;
    int width = 0;
    int height = 0;
    int frameRate = 30;
    double seconds = 10;  // from the first frame written to the stop
    bool showsCursor = true;
    bool capturesSound = false;  // the default output's monitor, as the program records it
    std::string outputPath;
    // Experiments only: another length for the writer's video queue (0: the writer's own), and
    // a nice value for the encoder's threads once recording.
    int writerQueue = 0;
    int encoderNice = 0;
    // Long runs: report a sample this often while recording (0: none).
    double sampleSeconds = 0;
};

// Starts the line of each sample, followed by `key=value` fields separated by spaces.
inline constexpr std::string_view kSamplePrefix = "sample ";

// Records, then prints `key=value` lines on standard output: monotonic times of each step,
// frame counts, and the threads of the process with their CPU time just before the stop. When
// asked for, samples come while recording, each on a line of its own as it is taken. Returns
// the exit code.
int runEngineChild(const EngineRequest& request);

}  // namespace vantorel::bench
