#include "platform/pulse/block_timeline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace vantorel {
namespace {

constexpr int kRate = 48000;
constexpr int64_t kMs = 1'000'000;
constexpr int64_t kBlockFrames = 480;  // 10 ms
constexpr int64_t kBlockNs = 10 * kMs;
constexpr int64_t kOrigin = 5'000 * kMs;

int64_t framesToNs(int64_t frames) {
    return frames * 1'000'000'000 / kRate;
}

// A run of blocks. The host time at which block k truly starts drifts away from the sample
// clock's count; the measurement of it is noisy.
struct Scenario {
    std::string name;
    int blocks;
    std::function<int64_t(int k)> drift;
    std::function<int64_t(int k)> noise;
    // How far the last stamps may be from the true start once the timeline has settled: the
    // noise, plus how far the host clock drifts in the timeline's window.
    int64_t settledTolerance;
};

int64_t none(int) {
    return 0;
}

class BlockTimelineScenarios : public ::testing::TestWithParam<Scenario> {};

TEST_P(BlockTimelineScenarios, BlocksFollowEachOtherAndTrackTheHostClock) {
    const Scenario& scenario = GetParam();
    BlockTimeline timeline(kRate);
    std::vector<int64_t> truth;
    std::vector<int64_t> stamps;
    for (int k = 0; k < scenario.blocks; ++k) {
        truth.push_back(kOrigin + k * kBlockNs + scenario.drift(k));
        stamps.push_back(timeline.place(truth.back() + scenario.noise(k), kBlockFrames));
    }

    for (size_t k = 1; k < stamps.size(); ++k) {
        const int64_t advance = stamps[k] - stamps[k - 1];
        // Never overlapping or gaping by more than a twentieth of a block: a listener does not
        // hear that, and an encoder needs no padding.
        ASSERT_GE(advance, kBlockNs - kBlockNs / 20) << "block " << k;
        ASSERT_LE(advance, kBlockNs + kBlockNs / 20) << "block " << k;
    }
    for (size_t k = stamps.size() - 50; k < stamps.size(); ++k) {
        EXPECT_LE(std::llabs(stamps[k] - truth[k]), scenario.settledTolerance) << "block " << k;
    }
}

std::vector<Scenario> scenarios() {
    return {
        {"exact", 200, none, none, 0},
        {"alternating3ms", 400, none, [](int k) { return (k % 2 == 0 ? 3 : -3) * kMs; }, 3 * kMs},
        {"timingUpdateSteps", 400, none, [](int k) { return ((k / 10) % 3 - 1) * 4 * kMs; },
         4 * kMs},
        {"spikeEveryHundred", 400, none, [](int k) { return (k % 100 == 50 ? 40 : 0) * kMs; },
         1 * kMs},
        {"hostClockFast1000ppm", 3000, [](int k) { return k * kBlockNs / 1000; },
         [](int k) { return (k % 2 == 0 ? 2 : -2) * kMs; },
         2 * kMs + BlockTimeline::kWindowNs / 1000 + kMs / 2},
        {"hostClockSlow1000ppm", 3000, [](int k) { return -k * kBlockNs / 1000; },
         [](int k) { return (k % 2 == 0 ? 2 : -2) * kMs; }, 3 * kMs},
        {"firstGuessLate60ms", 1000, none, [](int k) { return k == 0 ? 60 * kMs : 0; }, 1 * kMs},
        {"firstGuessEarly60ms", 1000, none, [](int k) { return k == 0 ? -60 * kMs : 0; }, 1 * kMs},
    };
}

std::string scenarioName(const ::testing::TestParamInfo<Scenario>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(Measurements, BlockTimelineScenarios, ::testing::ValuesIn(scenarios()),
                         scenarioName);

TEST(BlockTimeline, FirstBlockTakesItsMeasurement) {
    BlockTimeline timeline(kRate);
    EXPECT_EQ(timeline.place(kOrigin, kBlockFrames), kOrigin);
}

TEST(BlockTimeline, UnevenBlocksAdvanceByTheirOwnLength) {
    BlockTimeline timeline(kRate);
    const std::vector<int64_t> sizes{480, 441, 1, 1024, 7, 48000, 333};
    int64_t framesBefore = 0;
    for (int64_t frames : sizes) {
        // Counted from the first frame, so that rounding a block's length never adds up.
        const int64_t expected = kOrigin + framesToNs(framesBefore);
        EXPECT_EQ(timeline.place(expected, frames), expected) << frames << " frames";
        framesBefore += frames;
    }
}

// How many times consecutive stamps are further apart than the earlier block is long, beyond
// what slewing allows.
int jumps(const std::vector<int64_t>& stamps) {
    int count = 0;
    for (size_t k = 1; k < stamps.size(); ++k) {
        count += stamps[k] - stamps[k - 1] > kBlockNs + kBlockNs / 20 ? 1 : 0;
    }
    return count;
}

TEST(BlockTimeline, LostSoundMovesTheTimelineForwardOnce) {
    BlockTimeline timeline(kRate);
    std::vector<int64_t> stamps;
    for (int k = 0; k < 50; ++k) {
        stamps.push_back(timeline.place(kOrigin + k * kBlockNs, kBlockFrames));
    }
    // Half a second never arrived: what follows belongs after the gap, not glued to the last.
    const int64_t resumed = kOrigin + 50 * kBlockNs + 500 * kMs;
    for (int k = 0; k < 150; ++k) {
        stamps.push_back(timeline.place(resumed + k * kBlockNs, kBlockFrames));
    }
    EXPECT_EQ(jumps(stamps), 1);
    EXPECT_EQ(stamps.back(), resumed + 149 * kBlockNs);
}

TEST(BlockTimeline, ARestartPlacesTheNextBlockAtItsMeasurementAtOnce) {
    BlockTimeline timeline(kRate);
    for (int k = 0; k < 50; ++k) {
        timeline.place(kOrigin + k * kBlockNs, kBlockFrames);
    }
    timeline.restart();
    const int64_t resumed = kOrigin + 50 * kBlockNs + 2000 * kMs;
    EXPECT_EQ(timeline.place(resumed, kBlockFrames), resumed);
    EXPECT_EQ(timeline.place(resumed + kBlockNs, kBlockFrames), resumed + kBlockNs);
}

TEST(BlockTimeline, ARestartNeverGoesBackBeforeTheLastBlock) {
    BlockTimeline timeline(kRate);
    for (int k = 0; k < 50; ++k) {
        timeline.place(kOrigin + k * kBlockNs, kBlockFrames);
    }
    timeline.restart();
    EXPECT_EQ(timeline.place(kOrigin, kBlockFrames), kOrigin + 50 * kBlockNs);
}

TEST(BlockTimeline, AStalledReaderDoesNotShiftTheSound) {
    // 300 ms of blocks wait for a busy thread and then come all at once, each measured as if it
    // had just been captured.
    BlockTimeline timeline(kRate);
    std::vector<int64_t> stamps;
    for (int k = 0; k < 50; ++k) {
        stamps.push_back(timeline.place(kOrigin + k * kBlockNs, kBlockFrames));
    }
    const int64_t woken = kOrigin + 80 * kBlockNs;
    for (int k = 50; k < 80; ++k) {
        stamps.push_back(timeline.place(woken - kBlockNs, kBlockFrames));
    }
    for (int k = 80; k < 120; ++k) {
        stamps.push_back(timeline.place(kOrigin + k * kBlockNs, kBlockFrames));
    }
    EXPECT_EQ(jumps(stamps), 0);
    for (int k = 0; k < 120; ++k) {
        EXPECT_EQ(stamps[static_cast<size_t>(k)], kOrigin + k * kBlockNs) << "block " << k;
    }
}

TEST(BlockTimeline, MeasurementsFallingFarBehindNeverTurnTimeBack) {
    BlockTimeline timeline(kRate);
    int64_t previous = timeline.place(kOrigin, kBlockFrames);
    for (int k = 1; k < 2000; ++k) {
        const int64_t stamp = timeline.place(kOrigin + k * kBlockNs - 300 * kMs, kBlockFrames);
        ASSERT_GT(stamp, previous) << "block " << k;
        previous = stamp;
    }
    // It does get there, slowly.
    EXPECT_LE(std::llabs(previous - (kOrigin + 1999 * kBlockNs - 300 * kMs)), 1 * kMs);
}

TEST(BlockTimeline, HoursOfSoundKeepExactTime) {
    BlockTimeline timeline(kRate);
    const int64_t tenHours = int64_t{10} * 3600 * kRate;
    timeline.place(kOrigin, tenHours);
    const int64_t next = kOrigin + int64_t{10} * 3600 * 1'000'000'000;
    EXPECT_EQ(timeline.place(next, kBlockFrames), next);
}

TEST(BlockTimeline, EmptyBlocksTakeNoTime) {
    BlockTimeline timeline(kRate);
    EXPECT_EQ(timeline.place(kOrigin, 0), kOrigin);
    EXPECT_EQ(timeline.place(kOrigin, kBlockFrames), kOrigin);
    EXPECT_EQ(timeline.place(kOrigin + kBlockNs, kBlockFrames), kOrigin + kBlockNs);
}

}  // namespace
}  // namespace vantorel
