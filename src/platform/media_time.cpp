#include "platform/media_time.h"

namespace vantorel {

namespace {
__extension__ typedef __int128 Int128;
}  // namespace

double MediaTime::seconds() const {
    return isValid() ? static_cast<double>(value) / timescale : 0.0;
}

int64_t MediaTime::nanoseconds() const {
    if (!isValid()) {
        return 0;
    }
    const Int128 scaled = static_cast<Int128>(value) * 1'000'000'000 / timescale;
    return static_cast<int64_t>(scaled);
}

int compare(const MediaTime& a, const MediaTime& b) {
    if (!a.isValid() || !b.isValid()) {
        return static_cast<int>(a.isValid()) - static_cast<int>(b.isValid());
    }
    if (a.epoch != b.epoch) {
        return a.epoch < b.epoch ? -1 : 1;
    }
    // Cross-multiplying in 128 bits keeps the comparison exact for any 64-bit value.
    const Int128 left = static_cast<Int128>(a.value) * b.timescale;
    const Int128 right = static_cast<Int128>(b.value) * a.timescale;
    return left < right ? -1 : (left > right ? 1 : 0);
}

}  // namespace vantorel
