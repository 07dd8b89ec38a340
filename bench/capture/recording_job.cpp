#include "recording_job.h"

#include <thread>

#include "capture/recorder_settings.h"

namespace vantorel::bench {

long long engineBitRate(const RecordingJob& job) {
    return averageVideoBitRate(job.width, job.height, job.frameRate);
}

std::string engineX264Params(const RecordingJob& job) {
    const bool cavlc =
        usesCavlc(job.width, job.height, job.frameRate, std::thread::hardware_concurrency());
    return std::string(cavlc ? "cabac=0" : "cabac=1") + ":8x8dct=1" +
           (usesSlicedThreads(job.width, job.height) ? ":sliced-threads=1" : "");
}

}  // namespace vantorel::bench
