#pragma once

#include <cstdint>
#include <deque>

namespace vantorel {

// Places consecutive blocks of sound on the host clock.
//
// Each block comes with a measurement of when its first frame was captured. Measurements err
// almost only one way, late: a block that waited for a busy thread, or still sat in the socket,
// looks younger than it is. Stamping every block with its raw measurement would make blocks
// overlap or leave gaps, which an encoder hears as clicks, and a stall would shift everything
// after it. So the blocks are laid end to end from an origin (the host time of the first frame
// ever), and the origin follows the earliest that recent measurements allow: gently, never by
// more than a small share of a block, so stamps stay strictly increasing and sound-card drift is
// followed. When sound is known to have been lost (the output was suspended, or the server
// dropped what we could not read in time) the caller restarts the timeline at the next block.
// Sound lost unannounced shows as even the earliest measurement of a whole window running far
// ahead; then the origin jumps forward to it.
//
// Not thread-safe: used from the thread that receives the blocks.
class BlockTimeline {
  public:
    // How long a measurement is remembered, in sound time.
    // Longer than any stall of the reading thread that should not move the sound.
    static constexpr int64_t kWindowNs = 1'000'000'000;
    // How far the window's earliest measurement may run ahead before the timeline jumps.
    static constexpr int64_t kJumpAheadNs = 100'000'000;
    // The largest pull per block, as a fraction of the previous block's duration.
    static constexpr int64_t kMaxSlewDivisor = 20;
    // Differences smaller than this are measurement noise and left alone.
    static constexpr int64_t kDeadbandNs = 250'000;
    // The share of the remaining difference taken up per block.
    static constexpr int64_t kPullDivisor = 8;

    explicit BlockTimeline(int sampleRate);

    // The host time, in nanoseconds, of the first frame of the next block, which holds `frames`
    // frames and was measured to start at `measuredStartNs`.
    int64_t place(int64_t measuredStartNs, int64_t frames);
    // The next block is placed at its measurement, though never before the end of the last one.
    void restart();

  private:
    // What one block's measurement says about the origin.
    struct Suggestion {
        int64_t positionNs;
        int64_t originNs;
    };

    void remember(int64_t positionNs, int64_t suggestedOriginNs);
    int64_t durationNs(int64_t frames) const;

    int sampleRate_;
    bool anchored_ = false;
    int64_t originNs_ = 0;
    int64_t framesSoFar_ = 0;
    int64_t previousDurationNs_ = 0;
    int64_t endNs_ = 0;
    // The window's suggestions in rising order of origin; the front is the earliest.
    std::deque<Suggestion> earliest_;
};

}  // namespace vantorel
