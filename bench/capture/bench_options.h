#pragma once

#include <optional>
#include <string>
#include <vector>

#include "animator.h"
#include "engine_child.h"

namespace vantorel::bench {

struct FrameSize {
    int width = 0;
    int height = 0;
};

enum class Recorders { both, engineOnly, ffmpegOnly };

// The command line. Without --engine, every combination of sizes, rates and workloads is
// recorded by both recorders, one after the other, over the same animation.
struct BenchOptions {
    bool engineMode = false;  // a child recording with the engine (internal)
    EngineRequest engine;

    std::vector<FrameSize> sizes{{1920, 1080}};
    std::vector<int> rates{30};
    std::vector<Workload> workloads{Workload::fullMotion};
    double seconds = 10;
    int x = 0;
    int y = 0;
    bool showsCursor = true;
    bool ffmpegFirst = false;
    Recorders recorders = Recorders::both;
    std::optional<double> animateHz;  // default: twice the frame rate, 60 for a screencast
    double settleSeconds = 1;         // quiet time before each recording
    std::string keepDirectory;        // empty: files go to a temporary folder and are removed
    int writerQueue = 0;              // experiments: see EngineRequest
    int encoderNice = 0;
    // A long run instead of comparisons: the engine alone, full motion with sound, this many
    // minutes (0: none).
    int longRunMinutes = 0;
};

// Throws std::invalid_argument with a message fit for the user.
BenchOptions parseOptions(int argc, char** argv);

extern const char* const kUsage;

}  // namespace vantorel::bench
