#pragma once

#include "platform/media_time.h"

namespace vantorel {

// The clock of every capture time stamp: CLOCK_MONOTONIC, in nanoseconds.
class HostClock {
  public:
    virtual ~HostClock() = default;
    // The current time, or an invalid time when the clock cannot be read. Thread-safe.
    virtual MediaTime now() const = 0;
};

class MonotonicClock final : public HostClock {
  public:
    MediaTime now() const override;
};

}  // namespace vantorel
