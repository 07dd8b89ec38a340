#include "platform/memory_policy.h"

#include <malloc.h>
#include <sys/prctl.h>

#include <cstdint>

namespace vantorel {

void settleMemoryUse() {
    constexpr int kOwnMappingFrom = 256 * 1024;
    // Both are requests: where one is refused the program works as before, only larger.
    static_cast<void>(mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom));
    static_cast<void>(prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0));
}

void settleMemoryFor(int width, int height) {
    constexpr int64_t kHugePagesFrom = 2560 * 1440;
    const bool large = int64_t{width} * height >= kHugePagesFrom;
    static_cast<void>(prctl(PR_SET_THP_DISABLE, large ? 0 : 1, 0, 0, 0));
}

}  // namespace vantorel
