#include "platform/host_clock.h"

#include <ctime>

namespace vantorel {

MediaTime MonotonicClock::now() const {
    timespec ts{};
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) {
        return MediaTime::invalid();
    }
    return MediaTime::fromNanoseconds(static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec);
}

}  // namespace vantorel
