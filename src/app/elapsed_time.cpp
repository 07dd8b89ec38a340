#include "app/elapsed_time.h"

#include <algorithm>

namespace vantorel {

QString elapsedString(int64_t seconds) {
    seconds = std::max<int64_t>(seconds, 0);
    const int64_t hours = seconds / 3600;
    const int64_t minutes = (seconds % 3600) / 60;
    const int64_t secs = seconds % 60;
    if (seconds >= 3600) {
        return QString::asprintf("%lld:%02lld:%02lld", static_cast<long long>(hours),
                                 static_cast<long long>(minutes), static_cast<long long>(secs));
    }
    return QString::asprintf("%02lld:%02lld", static_cast<long long>(minutes),
                             static_cast<long long>(secs));
}

}  // namespace vantorel
