#pragma once

#include "recording_job.h"
#include "run_result.h"

namespace vantorel::bench {

// Records `job` with `ffmpeg -f x11grab` and libx264 at the engine's size, rate, bit rate,
// key-frame interval, preset and profile, stopped with SIGINT as a user's Ctrl+C would.
// Main thread.
RunResult recordWithFfmpeg(const RecordingJob& job);

}  // namespace vantorel::bench
