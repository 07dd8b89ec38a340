#include "platform/pulse/pulse_audio_source.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "block_recorder.h"
#include "pacat_player.h"
#include "private_pulse_server.h"
#include "tone_analysis.h"

namespace vantorel {
namespace {

using pulsetest::BlockRecorder;
using pulsetest::PacatPlayer;
using pulsetest::PrivatePulseServer;
using pulsetest::Received;

constexpr int kRate = 48000;
constexpr int64_t kMs = 1'000'000;
constexpr double kLoudRms = 0.2;  // a sine of amplitude 0.5 has an RMS of 0.35

int64_t durationNs(const SampleBufferRef& block) {
    return block->audio()->frameCount() * 1'000'000'000 / kRate;
}

double loudSeconds(const Received& received) {
    int64_t frames = 0;
    for (const SampleBufferRef& block : received.blocks) {
        if (pulsetest::channelRms(block->audio()->samples, 2, 0) > kLoudRms) {
            frames += block->audio()->frameCount();
        }
    }
    return static_cast<double>(frames) / kRate;
}

// Plays `samples` into `sink` on a thread of its own, since pacat takes them in real time.
class BackgroundPlayer {
  public:
    BackgroundPlayer(const std::string& server, const std::string& sink, std::vector<float> samples)
        : thread_([server, sink, samples = std::move(samples)] {
              PacatPlayer player(server, sink);
              player.write(samples);
          }) {}
    ~BackgroundPlayer() { thread_.join(); }

  private:
    std::thread thread_;
};

void expectWellFormedBlocks(const Received& received) {
    for (const SampleBufferRef& block : received.blocks) {
        ASSERT_TRUE(block && block->isValid());
        ASSERT_TRUE(block->audio());
        EXPECT_EQ(block->audio()->sampleRate, kRate);
        EXPECT_EQ(block->audio()->channels, 2);
        EXPECT_GT(block->audio()->frameCount(), 0);
        EXPECT_EQ(block->audio()->samples.size() % 2, 0u);
        EXPECT_TRUE(block->presentationTime().isValid());
    }
}

// Stamps lie on the host clock: each block follows the previous one by its own length, close
// to the moment it arrived (a sanity bound, not a latency goal; a null sink renders a little
// ahead, so its monitor may even deliver sound slightly before its time).
void expectStampsFollowTheHostClock(const Received& received) {
    ASSERT_FALSE(received.blocks.empty());
    for (size_t k = 0; k < received.blocks.size(); ++k) {
        const int64_t stamp = received.blocks[k]->presentationTime().nanoseconds();
        const int64_t waited = received.arrivalNs[k] - stamp;
        EXPECT_LE(std::llabs(waited), 200 * kMs) << "block " << k;
        if (k > 0) {
            const int64_t previous = received.blocks[k - 1]->presentationTime().nanoseconds();
            const int64_t length = durationNs(received.blocks[k - 1]);
            EXPECT_GE(stamp - previous, length - length / 10)
                << "block " << k << " overlaps the one before";
            EXPECT_LE(stamp - previous, length + length / 10) << "block " << k << " leaves a gap";
        }
    }
}

class PrivateServer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server_.running()) << server_.failure(); }

    // Two outputs, so that recording the wrong one's monitor shows.
    PrivatePulseServer server_{{"other", "speakers"}, "speakers"};
    PulseSourceOptions options_{server_.serverString()};
};

TEST_F(PrivateServer, RecordsEachChannelOfTheDefaultOutput) {
    PulseAudioSource source(options_);
    BlockRecorder recorder;
    ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    {
        BackgroundPlayer speakers(server_.serverString(), "speakers",
                                  pulsetest::stereoTone(700, 1300, 2.0, 0.5f));
        BackgroundPlayer other(server_.serverString(), "other",
                               pulsetest::stereoTone(3000, 3000, 2.0, 0.5f));
        EXPECT_TRUE(recorder.waitUntil([](const Received& r) { return loudSeconds(r) >= 1.0; }))
            << "only " << loudSeconds(recorder.snapshot()) << " s of the tone arrived";
    }
    source.stop();

    const Received received = recorder.snapshot();
    expectWellFormedBlocks(received);
    const std::vector<float> tone = pulsetest::steadyLoudSamples(received.blocks, kLoudRms);
    ASSERT_GE(tone.size() / 2, static_cast<size_t>(kRate / 2)) << "no half second of steady tone";
    EXPECT_NEAR(pulsetest::zeroCrossingFrequency(tone, 2, 0, kRate), 700, 7);
    EXPECT_NEAR(pulsetest::zeroCrossingFrequency(tone, 2, 1, kRate), 1300, 13);
    EXPECT_NEAR(pulsetest::channelRms(tone, 2, 0), 0.354, 0.05);
    EXPECT_NEAR(pulsetest::channelRms(tone, 2, 1), 0.354, 0.05);
    EXPECT_TRUE(received.losses.empty());
}

TEST_F(PrivateServer, StampsFollowTheHostClock) {
    PulseAudioSource source(options_);
    BlockRecorder recorder;
    ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    {
        // Half silence, half tone: the output's latency changes when a player comes and goes.
        BackgroundPlayer speakers(server_.serverString(), "speakers",
                                  pulsetest::stereoTone(440, 440, 1.0, 0.5f));
        EXPECT_TRUE(recorder.waitUntil([](const Received& r) { return r.blocks.size() >= 200; }));
    }
    source.stop();
    const Received received = recorder.snapshot();
    expectWellFormedBlocks(received);
    expectStampsFollowTheHostClock(received);
}

TEST_F(PrivateServer, SoundAfterASuspendedOutputKeepsItsTime) {
    PulseAudioSource source(options_);
    BlockRecorder recorder;
    ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    ASSERT_TRUE(recorder.waitUntil([](const Received& r) { return r.blocks.size() >= 20; }));
    ASSERT_TRUE(server_.pactl({"suspend-sink", "speakers", "1"}));
    // The output stays silent for a while; the sound after it must not be glued to the sound
    // before it.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const size_t beforeResume = recorder.snapshot().blocks.size();
    ASSERT_TRUE(server_.pactl({"suspend-sink", "speakers", "0"}));
    ASSERT_TRUE(recorder.waitUntil(
        [beforeResume](const Received& r) { return r.blocks.size() >= beforeResume + 20; }));
    source.stop();

    const Received received = recorder.snapshot();
    int gaps = 0;
    for (size_t k = 1; k < received.blocks.size(); ++k) {
        const int64_t advance = received.blocks[k]->presentationTime().nanoseconds() -
                                received.blocks[k - 1]->presentationTime().nanoseconds();
        gaps += advance > durationNs(received.blocks[k - 1]) + 300 * kMs ? 1 : 0;
    }
    EXPECT_EQ(gaps, 1);
    for (size_t k = 0; k < received.blocks.size(); ++k) {
        const int64_t waited =
            received.arrivalNs[k] - received.blocks[k]->presentationTime().nanoseconds();
        EXPECT_LE(std::llabs(waited), 200 * kMs) << "block " << k;
    }
}

TEST_F(PrivateServer, ReportsTheSecondStartAsAnErrorAndKeepsRecording) {
    PulseAudioSource source(options_);
    BlockRecorder recorder;
    ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    BlockRecorder second;
    const ErrorRef error = source.start(second.blockHandler(), second.lossHandler());
    ASSERT_NE(error, nullptr);
    ASSERT_NE(asPlatformError(error), nullptr);
    EXPECT_EQ(asPlatformError(error)->domain(), "PulseAudio");

    const size_t before = recorder.snapshot().blocks.size();
    EXPECT_TRUE(
        recorder.waitUntil([before](const Received& r) { return r.blocks.size() >= before + 5; }));
    source.stop();
    EXPECT_TRUE(second.snapshot().blocks.empty());
}

TEST_F(PrivateServer, StopWaitsForARunningHandlerAndNothingRunsAfterIt) {
    PulseAudioSource source(options_);
    BlockRecorder recorder;
    // A slow consumer keeps a handler running most of the time, so stop() meets one.
    recorder.setBlockHook([] { std::this_thread::sleep_for(std::chrono::milliseconds(3)); });
    ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    ASSERT_TRUE(recorder.waitUntil([](const Received& r) { return r.blocks.size() >= 10; }));

    source.stop();
    recorder.close();
    EXPECT_EQ(recorder.snapshot().running, 0);
    source.stop();
    EXPECT_EQ(recorder.snapshot().lateCalls, 0);
}

TEST_F(PrivateServer, StopsFromInsideItsOwnHandler) {
    // A second client of the same output shows that sound went on flowing after the stop.
    PulseAudioSource witnessSource(options_);
    BlockRecorder witness;
    ASSERT_EQ(witnessSource.start(witness.blockHandler(), witness.lossHandler()), nullptr);

    auto source = std::make_unique<PulseAudioSource>(options_);
    BlockRecorder recorder;
    PulseAudioSource* raw = source.get();
    recorder.setBlockHook([raw, &recorder] {
        raw->stop();
        recorder.close();
    });
    ASSERT_EQ(source->start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    ASSERT_TRUE(
        recorder.waitUntil([](const Received& r) { return !r.blocks.empty() && r.running == 0; }));
    const size_t witnessed = witness.snapshot().blocks.size();
    ASSERT_TRUE(witness.waitUntil(
        [witnessed](const Received& r) { return r.blocks.size() >= witnessed + 20; }));

    const Received received = recorder.snapshot();
    EXPECT_EQ(received.blocks.size(), 1u);
    EXPECT_EQ(received.lateCalls, 0);
    // The loop is still there, silenced; the controlling thread ends it.
    source->stop();
    source.reset();
    witnessSource.stop();
}

TEST_F(PrivateServer, StartsAgainAfterStop) {
    PulseAudioSource source(options_);
    BlockRecorder first;
    ASSERT_EQ(source.start(first.blockHandler(), first.lossHandler()), nullptr);
    ASSERT_TRUE(first.waitUntil([](const Received& r) { return r.blocks.size() >= 3; }));
    source.stop();
    first.close();

    BlockRecorder second;
    ASSERT_EQ(source.start(second.blockHandler(), second.lossHandler()), nullptr);
    ASSERT_TRUE(second.waitUntil([](const Received& r) { return r.blocks.size() >= 3; }));
    source.stop();
    EXPECT_EQ(first.snapshot().lateCalls, 0);
    expectStampsFollowTheHostClock(second.snapshot());
}

TEST_F(PrivateServer, StopBeforeStartAndDestructionWhileRunningAreHarmless) {
    BlockRecorder recorder;
    {
        PulseAudioSource source(options_);
        source.stop();
        ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
        ASSERT_TRUE(recorder.waitUntil([](const Received& r) { return r.blocks.size() >= 3; }));
    }
    recorder.close();
    EXPECT_EQ(recorder.snapshot().running, 0);
    EXPECT_EQ(recorder.snapshot().lateCalls, 0);
}

// Measures, without judging, how long after a beep is handed to a player its stamped start
// lies. The player buffers 50 ms and its pipe about 10 ms, so right stamps come out near that.
TEST_F(PrivateServer, MeasuresTheStampOfABeep) {
    PulseAudioSource source(options_);
    BlockRecorder recorder;
    ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    int64_t handedOverNs = 0;
    {
        PacatPlayer player(server_.serverString(), "speakers");
        ASSERT_TRUE(player.started());
        player.write(pulsetest::stereoSilence(0.4));
        handedOverNs = pulsetest::monotonicNowNs();
        player.write(pulsetest::stereoTone(1000, 1000, 0.1, 0.8f));
        player.write(pulsetest::stereoSilence(0.2));
        ASSERT_TRUE(recorder.waitUntil([](const Received& r) { return loudSeconds(r) >= 0.05; }));
    }
    source.stop();

    const Received received = recorder.snapshot();
    for (const SampleBufferRef& block : received.blocks) {
        const long frame = pulsetest::firstLoudFrame(block->audio()->samples, 2, 0.3f);
        if (frame >= 0) {
            const int64_t onsetNs =
                block->presentationTime().nanoseconds() + frame * 1'000'000'000 / kRate;
            const double latencyMs = static_cast<double>(onsetNs - handedOverNs) / 1e6;
            std::printf("beep handed to the player -> stamped onset: %.1f ms\n", latencyMs);
            RecordProperty("beepLatencyMicroseconds",
                           std::to_string((onsetNs - handedOverNs) / 1000));
            return;
        }
    }
    ADD_FAILURE() << "the beep was not found";
}

// ---- Servers that are missing or go away ----

enum class Unreachable { missingSocket, staleSocket, refusedTcpPort };

std::string unreachableName(const ::testing::TestParamInfo<Unreachable>& param) {
    switch (param.param) {
        case Unreachable::missingSocket:
            return "missingSocket";
        case Unreachable::staleSocket:
            return "staleSocket";
        case Unreachable::refusedTcpPort:
            return "refusedTcpPort";
    }
    return "unknown";
}

class StartWithoutServer : public ::testing::TestWithParam<Unreachable> {};

TEST_P(StartWithoutServer, FailsAtOnceSayingNoServerCouldBeReached) {
    std::unique_ptr<PrivatePulseServer> dead;
    std::string server;
    switch (GetParam()) {
        case Unreachable::missingSocket:
            server = "unix:/nonexistent/vantorel/pulse/native";
            break;
        case Unreachable::staleSocket:
            // A crashed server leaves its socket behind.
            dead = std::make_unique<PrivatePulseServer>(std::vector<std::string>{"speakers"},
                                                        "speakers");
            ASSERT_TRUE(dead->running()) << dead->failure();
            dead->kill(SIGKILL);
            ASSERT_TRUE(std::filesystem::exists(dead->socketPath()));
            server = dead->serverString();
            break;
        case Unreachable::refusedTcpPort:
            server = "tcp:127.0.0.1:1";
            break;
    }
    PulseAudioSource source(PulseSourceOptions{server});
    BlockRecorder recorder;
    const ErrorRef error = source.start(recorder.blockHandler(), recorder.lossHandler());
    ASSERT_NE(error, nullptr);
    const PlatformError* platform = asPlatformError(error);
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->domain(), "PulseAudio");
    EXPECT_NE(platform->code(), 0);
    EXPECT_EQ(platform->message().rfind("No sound server could be reached", 0), 0u)
        << platform->message();
    EXPECT_NE(platform->message().find("Connection refused"), std::string::npos)
        << platform->message();
    source.stop();
    source.stop();
    const Received received = recorder.snapshot();
    EXPECT_TRUE(received.blocks.empty());
    EXPECT_TRUE(received.losses.empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, StartWithoutServer,
                         ::testing::Values(Unreachable::missingSocket, Unreachable::staleSocket,
                                           Unreachable::refusedTcpPort),
                         unreachableName);

class ServerGoesAway : public ::testing::TestWithParam<int> {};

TEST_P(ServerGoesAway, ReportsTheLossOnce) {
    PrivatePulseServer server({"speakers"}, "speakers");
    ASSERT_TRUE(server.running()) << server.failure();
    PulseAudioSource source(PulseSourceOptions{server.serverString()});
    BlockRecorder recorder;
    ASSERT_EQ(source.start(recorder.blockHandler(), recorder.lossHandler()), nullptr);
    ASSERT_TRUE(recorder.waitUntil([](const Received& r) { return r.blocks.size() >= 3; }));

    server.kill(GetParam());
    ASSERT_TRUE(recorder.waitUntil([](const Received& r) { return !r.losses.empty(); }));
    source.stop();
    recorder.close();
    source.stop();

    const Received received = recorder.snapshot();
    ASSERT_EQ(received.losses.size(), 1u);
    const PlatformError* platform = asPlatformError(received.losses.front());
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->domain(), "PulseAudio");
    EXPECT_NE(platform->code(), 0);
    EXPECT_NE(platform->message().find("lost"), std::string::npos) << platform->message();
    EXPECT_EQ(received.lateCalls, 0);
}

std::string signalName(const ::testing::TestParamInfo<int>& param) {
    return param.param == SIGKILL ? "killed" : param.param == SIGTERM ? "terminated" : "signal";
}

INSTANTIATE_TEST_SUITE_P(Signals, ServerGoesAway, ::testing::Values(SIGTERM, SIGKILL), signalName);

// ---- The session's own server ----

TEST(SessionServer, RecordsAToneFromTheDefaultOutput) {
    PulseAudioSource source;
    BlockRecorder recorder;
    const ErrorRef error = source.start(recorder.blockHandler(), recorder.lossHandler());
    ASSERT_EQ(error, nullptr) << error->textualDescription()
                              << " (run the tests inside scripts/headless-session.sh)";
    {
        BackgroundPlayer player("", "", pulsetest::stereoTone(1000, 1000, 1.5, 0.5f));
        EXPECT_TRUE(recorder.waitUntil([](const Received& r) { return loudSeconds(r) >= 0.8; }));
    }
    source.stop();
    const Received received = recorder.snapshot();
    expectWellFormedBlocks(received);
    expectStampsFollowTheHostClock(received);
    const std::vector<float> tone = pulsetest::steadyLoudSamples(received.blocks, kLoudRms);
    ASSERT_GE(tone.size() / 2, static_cast<size_t>(kRate / 2));
    EXPECT_NEAR(pulsetest::zeroCrossingFrequency(tone, 2, 0, kRate), 1000, 10);
    EXPECT_NEAR(pulsetest::zeroCrossingFrequency(tone, 2, 1, kRate), 1000, 10);
}

}  // namespace
}  // namespace vantorel
