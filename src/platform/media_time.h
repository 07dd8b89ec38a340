#pragma once

#include <cstdint>

namespace vantorel {

// A point on a media timeline: value / timescale seconds, with a validity flag and an epoch.
// Times on different timescales compare by their exact rational value.
struct MediaTime {
    static constexpr uint32_t kValidFlag = 1u;

    int64_t value = 0;
    int32_t timescale = 0;
    uint32_t flags = 0;
    int64_t epoch = 0;

    static constexpr MediaTime invalid() { return MediaTime{}; }
    static constexpr MediaTime make(int64_t value, int32_t timescale) {
        return MediaTime{value, timescale, timescale > 0 ? kValidFlag : 0u, 0};
    }
    static constexpr MediaTime fromNanoseconds(int64_t ns) { return make(ns, 1'000'000'000); }

    constexpr bool isValid() const { return (flags & kValidFlag) != 0 && timescale > 0; }
    double seconds() const;
    // Nanoseconds since the clock's origin; only meaningful for a valid time.
    int64_t nanoseconds() const;
};

// Three-way comparison: negative, zero or positive. An invalid time is below every valid one,
// and two invalid times are equal. Earlier epochs come first.
int compare(const MediaTime& a, const MediaTime& b);

}  // namespace vantorel
