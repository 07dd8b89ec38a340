#pragma once

#include <cstdint>
#include <vector>

namespace vantorel::bench {

// Why frame slots between two complete frames stayed empty.
struct GapReport {
    int64_t emptySlots = 0;     // frame slots with no complete frame
    int64_t withChange = 0;     // ... although the screen had changed in time: a late capture
    int64_t withoutChange = 0;  // ... because nothing had changed (the animation was late)
};

// Sets the capture times of complete frames against the times the screen changed. A slot
// between two frames counts as late capture when enough changes were done at least half an
// interval before the next frame was grabbed: a tick on time would have found them.
GapReport analyseGaps(const std::vector<int64_t>& frameTimesNs,
                      const std::vector<int64_t>& changeTimesNs, int frameRate);

}  // namespace vantorel::bench
