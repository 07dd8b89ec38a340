#include <gtest/gtest.h>

#include <cstdio>

#include "alert_reader.h"
#include "media_file.h"
#include "session_helpers.h"
#include "time_code.h"
#include "user_steps.h"

// How long after Return the first frame of the file was on screen, with and without the
// countdown. The scene under the region paints the monotonic clock as a time code every 5 ms;
// the first decoded frame that reads cleanly tells when its picture was painted, and the test
// notes the same clock just before it presses Return. The difference is printed, not checked:
// it is a figure for people, and a loaded machine may stretch it.
namespace vantorel::e2e {
namespace {

const QRect kRegion(300, 300, 640, 360);

struct LatencyCase {
    const char* name;
    int countdownSeconds;
};

class StartLatency : public ::testing::TestWithParam<LatencyCase> {};

TEST_P(StartLatency, FromReturnToTheFirstFrame) {
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"));
    const LatencyCase latencyCase = GetParam();
    SceneProcess scene(SceneMode::clock, kRegion);
    ASSERT_TRUE(scene.waitShown());
    VantorelInstance program(
        {{"countdownSeconds", latencyCase.countdownSeconds}, {"recordSystemSound", false}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();

    ASSERT_TRUE(openOverlay(program));
    dragRegion(kRegion);
    const uint32_t returnMs = TimeCode::nowMs();
    const Clock::time_point returnAt = confirmWithReturn();
    const double xdotoolSeconds = secondsBetween(returnAt, Clock::now());
    moveMouse(QPoint(1400, 950));

    const std::optional<QRect> pill = waitForPill(program, 30s);
    ASSERT_TRUE(pill.has_value());
    ASSERT_TRUE(waitUntil([&] { return trayShowsRecording(program); }, 20s, 50ms));
    pause(1500ms);
    click(pill->center());
    const std::optional<QString> path = waitForRecent(program, 60s);
    ASSERT_TRUE(path.has_value()) << program.output().toStdString();

    const std::optional<MediaFile> media = MediaFile::open(*path);
    ASSERT_TRUE(media.has_value());
    const std::vector<QImage> frames = media->frames();
    ASSERT_FALSE(frames.empty());
    // The first frame normally reads; a later one only if the first caught a paint half done.
    std::optional<uint32_t> painted;
    size_t index = 0;
    for (; index < frames.size() && !painted; ++index) {
        painted = TimeCode::read(frames[index], frames[index].rect());
    }
    ASSERT_TRUE(painted.has_value()) << "no frame carries a readable time code";
    // No notification server answers on the program's bus: the "Saved" alert stands in, and the
    // program ends only once it has been answered.
    if (std::optional<AlertReader> saved = AlertReader::waitFor("Saved", 20s)) {
        saved->pressKey("Escape");
    }
    std::printf(
        "[ measure  ] %s: Return -> first frame on screen: %lld ms (frame %zu read; "
        "xdotool took %.0f ms to deliver the key; the reading lags the grab by up "
        "to 5 ms of repaint)\n",
        latencyCase.name, static_cast<long long>(TimeCode::msBetween(returnMs, *painted)),
        index - 1, xdotoolSeconds * 1000);
    std::fflush(stdout);
    EXPECT_TRUE(program.stop());
}

INSTANTIATE_TEST_SUITE_P(Countdown, StartLatency,
                         ::testing::Values(LatencyCase{"WithCountdown", 3},
                                           LatencyCase{"WithoutCountdown", 0}),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace vantorel::e2e
