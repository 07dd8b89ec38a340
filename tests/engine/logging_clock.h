#pragma once

#include <mutex>

#include "platform/host_clock.h"

namespace vantorel::testing {

// The real host clock, remembering its last reading: the recorder reads the clock only to end
// the file's timeline, so that reading is the moment the file must last until.
class LoggingClock final : public HostClock {
  public:
    // Thread-safe.
    MediaTime now() const override;
    // The last reading, or an invalid time before the first. Thread-safe.
    MediaTime lastReading() const;

  private:
    MonotonicClock clock_;
    mutable std::mutex mutex_;
    mutable MediaTime last_ = MediaTime::invalid();
};

}  // namespace vantorel::testing
