#pragma once

#include <optional>
#include <string>

#include "animator.h"
#include "run_result.h"

namespace vantorel::bench {

// What was recorded in one comparison.
struct CaseDescription {
    int width = 0;
    int height = 0;
    int frameRate = 0;
    double seconds = 0;
    Workload workload = Workload::fullMotion;
    int64_t animatorUpdates = 0;
    int64_t animatorLate = 0;
    double animateHz = 0;
};

// One line saying whether the engine met a goal.
void printGoal(bool met, const std::string& text);
// What each of a run's threads cost: CPU seconds, and milliseconds per frame written.
void printSteps(const RunResult& run);

// Prints one comparison as a table (a recorder that did not run is left out), the engine's CPU
// by thread, and how the engine fares against its goals.
void printComparison(const CaseDescription& description, const std::optional<RunResult>& engine,
                     const std::optional<RunResult>& ffmpeg);

}  // namespace vantorel::bench
