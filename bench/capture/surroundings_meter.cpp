#include "surroundings_meter.h"

namespace vantorel::bench {

SurroundingsMeter::SurroundingsMeter(const RecordingJob& job)
    : xServer_(job.xServer),
      xServerStart_(job.xServer ? processCpuSeconds(*job.xServer) : 0),
      machineStart_(machineCpu()),
      load_(loadAverage()) {}

void SurroundingsMeter::finish(RunResult& result) const {
    result.loadBefore = load_;
    if (xServer_) {
        result.xServerCpuSeconds = processCpuSeconds(*xServer_) - xServerStart_;
    }
    const MachineCpu now = machineCpu();
    const double total = now.totalSeconds - machineStart_.totalSeconds;
    if (total > 0) {
        result.machineBusyPercent = 100.0 * (now.busySeconds - machineStart_.busySeconds) / total;
    }
}

}  // namespace vantorel::bench
