// Sound and picture in step: on a still black region, a white flash and a short beep made at
// the same moment must land in the file less than a frame apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "color_window.h"
#include "engine_session.h"
#include "media_timeline.h"
#include "session_fixture.h"
#include "sink_player.h"
#include "tone_analysis.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr CaptureRect kRegion{600, 100, 320, 240};  // on MON-A
constexpr float kBeepAmplitude = 0.8f;
constexpr double kBeepSeconds = 0.1;
// Far enough ahead for the player's stream latency.
constexpr auto kBeepLead = 250ms;
// How long before the capture's next look at the screen the flash is made.
constexpr auto kBeforeTick = 1ms;
constexpr int kAttempts = 3;

int64_t ns(std::chrono::nanoseconds duration) {
    return duration.count();
}

void sleepUntil(const MediaTime& t) {
    // The host clock is CLOCK_MONOTONIC, as is steady_clock here.
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point(std::chrono::nanoseconds(t.nanoseconds())));
}

// The capture looks at the screen once per frame interval, on a fixed grid, and a change is
// in the frame of the first look after it. A flash made just before a look is therefore in a
// frame of its own time, give or take the margin, rather than anything up to a frame later;
// only then does the file tell how far the sound is from the picture. The grid is learnt from
// the times of delivered frames: each was stamped a little after its look, so the earliest
// phase seen is the closest to the grid.
class LookGrid {
  public:
    LookGrid(const MediaTime& anchor, int64_t intervalNs)
        : anchor_(anchor.nanoseconds()), interval_(intervalNs) {}

    void learn(const MediaTime& frameTime) {
        int64_t phase = (frameTime.nanoseconds() - anchor_) % interval_;
        if (phase < 0) {
            phase += interval_;
        }
        if (phase > interval_ / 2) {
            phase -= interval_;
        }
        earliest_ = std::min(earliest_, phase);
    }

    // The first moment, at least `lead` after `now`, that lies the margin before a look.
    MediaTime momentBeforeALook(const MediaTime& now) const {
        const int64_t grid = anchor_ + earliest_;
        const int64_t looks =
            (now.nanoseconds() + ns(kBeepLead) + ns(kBeforeTick) - grid) / interval_ + 1;
        return MediaTime::fromNanoseconds(grid + looks * interval_ - ns(kBeforeTick));
    }

  private:
    int64_t anchor_;
    int64_t interval_;
    int64_t earliest_ = 0;
};

struct Flash {
    MediaTime asked;   // flash and beep were asked for at this moment
    MediaTime before;  // the flash was drawn from here on
    MediaTime beep;    // the beep starts here by the sound server's estimate
};

struct RateCase {
    const char* name;
    int64_t frameRate;
};

void PrintTo(const RateCase& c, std::ostream* os) {
    *os << c.name;
}

class SoundSyncTest : public ::testing::TestWithParam<RateCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(headlessSessionPresent())
            << "needs the X server of scripts/headless-session.sh (monitors MON-A and MON-B)";
    }

    // Draws `rgb` and answers the time of the frame that shows it.
    static MediaTime drawAndWait(EngineSession& engine, ColorWindow& canvas, uint32_t rgb) {
        const size_t before = engine.log().completeFrames();
        canvas.fill(rgb);
        return engine.log().waitForCompleteFrames(before + 1) ? engine.log().lastCompleteFrame()
                                                              : MediaTime::invalid();
    }

    // Flashes and beeps until a flash made before a look is in the frame of that look (a busy
    // machine may wake the test too late, or the capture late), going back to black between
    // tries. The flash that counts, if any.
    std::optional<Flash> flashAndBeep(EngineSession& engine, SinkPlayer& player,
                                      ColorWindow& canvas, int64_t intervalNs) {
        MonotonicClock clock;
        // A first flash shows where the looks are.
        const MediaTime probe = drawAndWait(engine, canvas, 0xFFFFFF);
        const MediaTime dark = drawAndWait(engine, canvas, 0x000000);
        if (!probe.isValid() || !dark.isValid()) {
            ADD_FAILURE() << "the capture did not follow the region's changes";
            return std::nullopt;
        }
        LookGrid grid(dark, intervalNs);
        grid.learn(probe);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            Flash flash;
            flash.asked = grid.momentBeforeALook(clock.now());
            player.beepAt(flash.asked, 1000, kBeepSeconds, kBeepAmplitude);
            sleepUntil(flash.asked);
            flash.before = clock.now();
            const MediaTime shown = drawAndWait(engine, canvas, 0xFFFFFF);
            const std::optional<MediaTime> beep = player.waitForPlacedBeep();
            if (!beep || !shown.isValid()) {
                ADD_FAILURE() << "the beep never went out, or the flash never showed";
                return std::nullopt;
            }
            flash.beep = *beep;
            if (shown.nanoseconds() - flash.asked.nanoseconds() < intervalNs / 2) {
                return flash;
            }
            std::printf("the flash missed the look it was made for; once more\n");
            grid.learn(shown);
            std::this_thread::sleep_for(300ms);
            const MediaTime black = drawAndWait(engine, canvas, 0x000000);
            if (black.isValid()) {
                grid.learn(black);
            }
        }
        return std::nullopt;
    }
};

TEST_P(SoundSyncTest, AFlashAndABeepMadeTogetherLandLessThanAFrameApart) {
    const int64_t rate = GetParam().frameRate;
    const double frame = 1.0 / static_cast<double>(rate);
    SinkPlayer player("vsink");
    ASSERT_EQ(player.failure(), "");
    ASSERT_TRUE(player.waitUntilPrompt()) << "the sink never came to play promptly";
    ScratchFolder folder;
    const auto output = folder.file("sync.mp4");
    EngineSession engine;
    const std::optional<CaptureDisplay> monA = engine.displayAt(0, 0);
    ASSERT_TRUE(monA) << "the capture service lists no display at 0,0";
    ColorWindow canvas("", EngineSession::rootRectFor(*monA, kRegion), 0);
    canvas.fill(0x000000);

    ASSERT_EQ(engine.start(EngineSession::configFor(*monA, kRegion, rate, true, output)), nullptr);
    ASSERT_TRUE(engine.log().waitForCompleteFrames(1));
    // Let the sound settle into its steady flow first.
    ASSERT_TRUE(engine.log().waitForSoundBlocks(20));
    const std::optional<Flash> flash = flashAndBeep(engine, player, canvas, 1'000'000'000 / rate);
    std::this_thread::sleep_for(300ms);
    const std::optional<StopResult> result = engine.stop();
    ASSERT_TRUE(result) << "the stop never answered";
    ASSERT_EQ(result->error, nullptr) << result->error->textualDescription();
    ASSERT_TRUE(flash) << "the test never managed to flash in time for a frame";

    const int64_t first = engine.log().firstCompleteFrame().nanoseconds();
    const auto inFile = [first](const MediaTime& t) { return (t.nanoseconds() - first) / 1e9; };
    const double asked = inFile(flash->asked);

    // The flash: the first white frame from the moment it was asked for.
    const MediaProbe probe(output);
    const auto frames = probe.decodedFrames();
    const std::vector<double> times = frameTimes(probe);
    ASSERT_EQ(frames.size(), times.size());
    size_t shown = 0;
    while (shown < frames.size() &&
           (times[shown] < asked - frame || (rgbAt(frames[shown], 320, 160, 120) & 0xFF) < 128)) {
        ++shown;
    }
    ASSERT_LT(shown, frames.size()) << "no frame shows the flash";
    ASSERT_GT(shown, 0u);
    EXPECT_LT(rgbAt(frames[shown - 1], 320, 160, 120) & 0xFF, 64u) << "the flash came from white";

    // The beep: the first loud sample from the moment it was asked for.
    const std::vector<float> sound = soundOnTimeline(output);
    const auto from = static_cast<size_t>(std::max(0.0, asked - 0.05) * 48000);
    ASSERT_LT(from, sound.size());
    const long onset = pulsetest::firstLoudFrame(
        std::vector<float>(sound.begin() + static_cast<long>(from), sound.end()), 1,
        kBeepAmplitude / 2);
    ASSERT_GE(onset, 0) << "no beep in the sound track";

    const double flashInFile = times[shown];
    const double beepInFile = static_cast<double>(from + static_cast<size_t>(onset)) / 48000;
    const double offset = beepInFile - flashInFile;
    std::printf(
        "%lld fps: flash frame at %.4f s, beep onset at %.4f s: beep - flash = %+.1f ms "
        "(a frame is %.1f ms)\n"
        "  flash drawn at %.4f s, beep played from %.4f s by the server's estimate; in the "
        "file the flash frame is %+.1f ms and the beep %+.1f ms from the drawing\n",
        static_cast<long long>(rate), flashInFile, beepInFile, offset * 1e3, frame * 1e3,
        inFile(flash->before), inFile(flash->beep), (flashInFile - inFile(flash->before)) * 1e3,
        (beepInFile - inFile(flash->before)) * 1e3);
    EXPECT_LT(std::fabs(offset), frame);
}

INSTANTIATE_TEST_SUITE_P(Rates, SoundSyncTest,
                         ::testing::Values(RateCase{"At30", 30}, RateCase{"At60", 60}),
                         [](const ::testing::TestParamInfo<RateCase>& rate) {
                             return std::string(rate.param.name);
                         });

}  // namespace
}  // namespace vantorel::testing
