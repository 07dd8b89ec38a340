// The sound client on the headless session's PulseAudio server, recording the monitor of its
// null sink "vsink" while a tone is played into it.
#include "platform/pulse/sound_client.h"

#include <gtest/gtest.h>

#include <cmath>
#include <future>

#include "platform/host_clock.h"
#include "sink_log.h"
#include "sound_player.h"
#include "tone_analysis.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = SoundClient::kSampleRate;

int64_t durationNs(const SoundBlock& block) {
    return block.frameCount() * 1'000'000'000 / block.sampleRate;
}

TEST(SoundClient, AToneArrivesAtItsPitchStampedWhenItWasPlayed) {
    SoundPlayer player("", "vsink");
    ASSERT_EQ(player.failure(), "");
    SinkLog log;
    SoundClient client;
    std::promise<std::optional<Error>> answered;
    client.start([&log](SoundBlock block) { log.take(std::move(block)); },
                 [&log](const Error& error) { log.sourceStopped(error); },
                 [&answered](std::optional<Error> error) { answered.set_value(error); });
    ASSERT_EQ(answered.get_future().get(), std::nullopt);

    const std::optional<int64_t> toneNs =
        player.play(440, 0.5f, 0.4, monotonicNowNs() + 200'000'000);
    ASSERT_TRUE(toneNs) << "the player's stream never played promptly";
    ASSERT_TRUE(log.waitFor([&](const auto& s) {
        return !s.blocks.empty() && s.blocks.back().timeNs > *toneNs + 600'000'000;
    }));
    client.stop();
    const SinkLog::State state = log.snapshot();
    ASSERT_TRUE(state.stops.empty());

    // The blocks follow each other without gaps or overlaps once the sound flows, and the tone
    // starts where the player put it on the host clock.
    std::vector<float> left;
    int64_t onsetNs = -1;
    for (size_t k = 0; k < state.blocks.size(); ++k) {
        const SoundBlock& block = state.blocks[k];
        ASSERT_EQ(block.sampleRate, kRate);
        ASSERT_EQ(block.channels, 2);
        if (k > 0 && block.timeNs > *toneNs - 100'000'000) {
            const SoundBlock& before = state.blocks[k - 1];
            EXPECT_NEAR(block.timeNs - before.timeNs, durationNs(before), 1'000'000)
                << "block " << k;
        }
        for (int64_t i = 0; i < block.frameCount(); ++i) {
            const float sample = block.samples[static_cast<size_t>(2 * i)];
            if (onsetNs < 0 && std::fabs(sample) > 0.25f) {
                onsetNs = block.timeNs + i * 1'000'000'000 / kRate;
            }
            if (onsetNs >= 0) {
                left.push_back(sample);
            }
        }
    }
    ASSERT_GE(onsetNs, 0) << "the tone never arrived";
    EXPECT_NEAR(onsetNs, *toneNs, 10'000'000);
    ASSERT_GT(left.size(), kRate / 4u);
    EXPECT_EQ(strongestFrequency(left, 0, kRate / 4u, kRate), 440);
}

}  // namespace
}  // namespace vantorel::testing
