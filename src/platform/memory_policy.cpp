#include "platform/memory_policy.h"

#include <malloc.h>
#include <sys/prctl.h>

namespace vantorel {

void settleMemoryUse() {
    constexpr int kOwnMappingFrom = 256 * 1024;
    // Both are requests: where one is refused the program works as before, only larger.
    static_cast<void>(mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom));
    static_cast<void>(prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0));
}

}  // namespace vantorel
