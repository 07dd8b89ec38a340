#pragma once

#include <string>

#include "recording_job.h"
#include "run_result.h"

namespace vantorel::bench {

// Records `job` with the real engine in a child process: this program again, in engine mode
// (see engine_child.h), started from `selfPath`. Main thread.
RunResult recordWithEngine(const RecordingJob& job, const std::string& selfPath);

}  // namespace vantorel::bench
