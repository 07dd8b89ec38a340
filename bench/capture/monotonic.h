#pragma once

#include <time.h>

#include <cstdint>

namespace vantorel::bench {

// CLOCK_MONOTONIC in nanoseconds: one clock shared by every process of the benchmark, so that
// times a child reports can be set against the moment the parent started it.
inline int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

}  // namespace vantorel::bench
