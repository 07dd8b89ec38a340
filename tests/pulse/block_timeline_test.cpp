#include "platform/pulse/block_timeline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

namespace vantorel {
namespace {

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kBlockFrames = 480;  // 10 ms at 48 kHz
constexpr int64_t kBlockNs = 10 * kMs;
constexpr int64_t kOrigin = 5'000 * kMs;

// A run of blocks: when block k truly starts drifts away from the sound card's count, and its
// measurement is noisy.
struct Scenario {
    const char* name;
    int blocks;
    std::function<int64_t(int k)> drift;
    std::function<int64_t(int k)> noise;
    // How far the last stamps may be from the truth once settled: the noise, and what the host
    // clock drifts in the timeline's window.
    int64_t settledTolerance;
};

int64_t none(int) {
    return 0;
}

class Scenarios : public ::testing::TestWithParam<Scenario> {};

TEST_P(Scenarios, BlocksFollowEachOtherAndTrackTheHostClock) {
    const Scenario& scenario = GetParam();
    BlockTimeline timeline(48000);
    std::vector<int64_t> truth;
    std::vector<int64_t> stamps;
    for (int k = 0; k < scenario.blocks; ++k) {
        truth.push_back(kOrigin + k * kBlockNs + scenario.drift(k));
        stamps.push_back(timeline.place(truth.back() + scenario.noise(k), kBlockFrames));
    }
    for (size_t k = 1; k < stamps.size(); ++k) {
        // Never overlapping or apart by more than a twentieth of a block: nothing a listener
        // hears, nothing an encoder must pad.
        ASSERT_NEAR(stamps[k] - stamps[k - 1], kBlockNs, kBlockNs / 20) << "block " << k;
    }
    for (size_t k = stamps.size() - 50; k < stamps.size(); ++k) {
        EXPECT_LE(std::llabs(stamps[k] - truth[k]), scenario.settledTolerance) << "block " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Measurements, Scenarios,
    ::testing::Values(
        Scenario{"Exact", 200, none, none, 0},
        Scenario{"TimingUpdateSteps", 400, none, [](int k) { return ((k / 10) % 3 - 1) * 4 * kMs; },
                 4 * kMs},
        Scenario{"SpikeEveryHundred", 400, none,
                 [](int k) { return (k % 100 == 50 ? 40 : 0) * kMs; }, 1 * kMs},
        Scenario{"HostClockFast1000ppm", 3000, [](int k) { return k * kBlockNs / 1000; },
                 [](int k) { return (k % 2 == 0 ? 2 : -2) * kMs; },
                 2 * kMs + BlockTimeline::kWindowNs / 1000 + kMs / 2},
        Scenario{"HostClockSlow1000ppm", 3000, [](int k) { return -k * kBlockNs / 1000; },
                 [](int k) { return (k % 2 == 0 ? 2 : -2) * kMs; }, 3 * kMs},
        Scenario{"FirstGuessLate60ms", 1000, none, [](int k) { return k == 0 ? 60 * kMs : 0; },
                 1 * kMs},
        // 300 ms of blocks wait for a busy thread, then come at once, each measured as new.
        Scenario{"StalledReader", 400, none,
                 [](int k) { return k >= 50 && k < 80 ? (80 - k) * kBlockNs : 0; }, 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(BlockTimeline, ARestartTakesTheNextMeasurementButNeverGoesBack) {
    BlockTimeline timeline(48000);
    for (int k = 0; k < 50; ++k) {
        timeline.place(kOrigin + k * kBlockNs, kBlockFrames);
    }
    // The output was suspended: the next block starts a new stretch where it was measured.
    timeline.restart();
    const int64_t resumed = kOrigin + 2000 * kMs;
    EXPECT_EQ(timeline.place(resumed, kBlockFrames), resumed);
    timeline.restart();
    EXPECT_EQ(timeline.place(kOrigin, kBlockFrames), resumed + kBlockNs);
}

}  // namespace
}  // namespace vantorel
