#pragma once

#include "cpu_meters.h"
#include "recording_job.h"
#include "run_result.h"

namespace vantorel::bench {

// What else the machine did while a recorder ran: the X server's CPU time, how busy all cores
// were, and the load average before it started. Called on the benchmark's main thread.
class SurroundingsMeter {
  public:
    explicit SurroundingsMeter(const RecordingJob& job);
    // Fills in the figures for the time since construction.
    void finish(RunResult& result) const;

  private:
    std::optional<pid_t> xServer_;
    double xServerStart_ = 0;
    MachineCpu machineStart_;
    std::string load_;
};

}  // namespace vantorel::bench
