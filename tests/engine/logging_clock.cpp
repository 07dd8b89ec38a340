#include "logging_clock.h"

namespace vantorel::testing {

MediaTime LoggingClock::now() const {
    const MediaTime reading = clock_.now();
    std::lock_guard lock(mutex_);
    last_ = reading;
    return reading;
}

MediaTime LoggingClock::lastReading() const {
    std::lock_guard lock(mutex_);
    return last_;
}

}  // namespace vantorel::testing
