#pragma once

#include <functional>
#include <string>

#include "recording_job.h"
#include "run_result.h"

namespace vantorel::bench {

// Called with the fields of each sample the child reports while recording (see kSamplePrefix),
// on the thread that reads its output, before recordWithEngine() returns.
using SampleSink = std::function<void(const KeyValues& sample)>;

// Records `job` with the real engine in a child process: this program again, in engine mode
// (see engine_child.h), started from `selfPath`. Main thread.
RunResult recordWithEngine(const RecordingJob& job, const std::string& selfPath,
                           const SampleSink& onSample = {});

}  // namespace vantorel::bench
