#include "gap_analysis.h"

#include <algorithm>
#include <cmath>

namespace vantorel::bench {

GapReport analyseGaps(const std::vector<int64_t>& frameTimesNs,
                      const std::vector<int64_t>& changeTimesNs, int frameRate) {
    GapReport report;
    const double intervalNs = 1e9 / frameRate;
    for (size_t i = 1; i < frameTimesNs.size(); ++i) {
        const int64_t from = frameTimesNs[i - 1];
        const int64_t to = frameTimesNs[i];
        const auto slots = static_cast<int64_t>(std::llround((to - from) / intervalNs)) - 1;
        if (slots <= 0) {
            continue;
        }
        const auto first = std::upper_bound(changeTimesNs.begin(), changeTimesNs.end(), from);
        const auto last = std::upper_bound(changeTimesNs.begin(), changeTimesNs.end(),
                                           to - static_cast<int64_t>(intervalNs / 2));
        const int64_t changes = std::max<int64_t>(0, last - first);
        const int64_t late = std::min(slots, changes);
        report.emptySlots += slots;
        report.withChange += late;
        report.withoutChange += slots - late;
    }
    return report;
}

}  // namespace vantorel::bench
