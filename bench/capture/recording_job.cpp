#include "recording_job.h"

#include <algorithm>

namespace vantorel::bench {

long long engineBitRate(const RecordingJob& job) {
    const double wanted = static_cast<double>(job.width) * job.height * job.frameRate * 0.1;
    return static_cast<long long>(std::clamp(wanted, 2e6, 60e6));
}

}  // namespace vantorel::bench
