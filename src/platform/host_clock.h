#pragma once

#include <cstdint>
#include <optional>

namespace vantorel {

// The clock of every capture time stamp: CLOCK_MONOTONIC, in nanoseconds. Frames and sound are
// stamped on it by their sources, and a recording's end is read from it.
class HostClock {
  public:
    virtual ~HostClock() = default;
    // The current time; nothing when the clock cannot be read. Thread-safe.
    virtual std::optional<int64_t> nowNs() const = 0;
};

class MonotonicClock final : public HostClock {
  public:
    std::optional<int64_t> nowNs() const override;
};

// The same clock read directly, for the sources' own stamps. Thread-safe.
int64_t monotonicNowNs();

}  // namespace vantorel
