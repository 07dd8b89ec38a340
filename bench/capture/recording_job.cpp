#include "recording_job.h"

#include <thread>

#include "capture/recorder_settings.h"

namespace vantorel::bench {

long long engineBitRate(const RecordingJob& job) {
    return averageVideoBitRate(job.width, job.height, job.frameRate);
}

const char* engineX264Params(const RecordingJob& job) {
    return usesCavlc(job.width, job.height, job.frameRate, std::thread::hardware_concurrency())
               ? "cabac=0:8x8dct=1"
               : "cabac=1:8x8dct=1";
}

}  // namespace vantorel::bench
