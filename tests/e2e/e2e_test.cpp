#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTimer>

#include <filesystem>

#include "gtest_qt_printing.h"
#include "media_probe.h"
#include "program_instance.h"
#include "region_scene.h"
#include "sound_player.h"
#include "tone_analysis.h"

// The built program as a user meets it on a desktop: a tray host, a window manager, two
// monitors, sound playing, and another program's window under the region that is recorded.
namespace vantorel::testing {
namespace {

using Clock = std::chrono::steady_clock;

const QRect kRegion(300, 300, 640, 360);
constexpr QRgb kFill = RegionScene::kFill;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

QImage frameImage(const std::vector<unsigned char>& rgb, int width, int height) {
    return QImage(rgb.data(), width, height, width * 3, QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

// Answers the "Saved" alert that stands in for a notification when no server shows one.
bool dismissSavedAlert() {
    std::optional<WindowId> alert;
    if (!waitUntil([&] { return (alert = windowTitled("Saved")).has_value(); }, 20s)) {
        return false;
    }
    pressKeyIn(*alert, "Escape");
    return waitUntil([] { return !windowTitled("Saved"); }, 10s);
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"))
            << "run inside scripts/headless-session.sh";
    }
};

TEST_F(EndToEnd, ARegionWithSystemSoundFromTheTrayMenuToTheSavedAlert) {
    std::optional<RegionScene> scene(std::in_place, kRegion);
    SoundPlayer sound("", "vsink");
    ASSERT_EQ(sound.failure(), "");
    ASSERT_TRUE(sound.play(440, 0.5f, 60, 0).has_value());
    ProgramInstance program(
        {{"recordSystemSound", true}, {"countdownSeconds", 3}, {"showsCursor", false}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();
    EXPECT_TRUE(program.windows().isEmpty()) << "the tray icon is the program's only window";

    const std::optional<QRect> menu = program.openTrayMenu();
    ASSERT_TRUE(menu.has_value());
    click(QPoint(menu->left() + 60, ProgramInstance::menuRows(*menu).value(0)));  // Start
    ASSERT_TRUE(waitUntil([&] { return program.showsOverlay(); }, 20s));
    dragOut(kRegion);
    const Clock::time_point returnAt = Clock::now();
    pressKeys({"Return"});
    moveMouse(QPoint(1400, 950));

    const std::optional<QRect> stopButton = program.waitForStopButton();
    ASSERT_TRUE(stopButton.has_value());
    EXPECT_EQ(stopButton->top(), kScreenA.top() + 6);
    EXPECT_NEAR(stopButton->center().x(), kScreenA.center().x(), 1);
    ASSERT_TRUE(waitUntil([&] { return program.trayShowsRecording(); }, 20s));
    const Clock::time_point recordingSeen = Clock::now();

    pause(3s);
    const Clock::time_point stopClicked = Clock::now();
    click(stopButton->center());
    const std::optional<QString> path = program.waitForRecording();
    const Clock::time_point savedSeen = Clock::now();
    ASSERT_TRUE(path.has_value()) << program.output().toStdString();
    EXPECT_TRUE(program.windows().size() <= 1) << "outline and button are gone (the alert shows)";
    scene.reset();
    ASSERT_TRUE(dismissSavedAlert());

    const QFileInfo file(*path);
    EXPECT_EQ(file.absolutePath(), program.videosFolder());

    const MediaProbe media(path->toStdString());
    const auto video = media.streams("video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].at("width"), std::to_string(kRegion.width()));
    EXPECT_EQ(video[0].at("height"), std::to_string(kRegion.height()));
    // At least from the red dot to the click; at most from the end of the countdown (3 s, and
    // 0.2 s twice for the overlay to go) to the file being listed.
    const double duration = media.duration().value_or(0);
    EXPECT_GE(duration, secondsBetween(recordingSeen, stopClicked) - 0.25);
    EXPECT_LE(duration, secondsBetween(returnAt, savedSeen) - 3.4);

    const auto audio = media.streams("audio");
    ASSERT_EQ(audio.size(), 1u);
    const std::vector<float> heard = media.decodedSound();
    ASSERT_GT(heard.size(), 48000u);
    EXPECT_GT(loudness(heard, 24000, heard.size() - 24000), 0.1);
    EXPECT_EQ(strongestFrequency(heard, 24000, heard.size() - 24000, 48000), 440);

    // Every frame's edge is the fill: the cut is exact and the outline stays out of the picture.
    const auto frames = media.decodedFrames();
    ASSERT_GE(frames.size(), 10u);
    for (size_t i = 0; i < frames.size(); ++i) {
        const QImage frame = frameImage(frames[i], kRegion.width(), kRegion.height());
        const int unlike = countPixels(frame, [&](int x, int y) {
            const bool edge = x < 2 || y < 2 || x >= frame.width() - 2 || y >= frame.height() - 2;
            return edge && colorDistance(frame.pixel(x, y), kFill) > 40;
        });
        ASSERT_EQ(unlike, 0) << "frame " << i;
    }

    program.askToQuit();
    EXPECT_TRUE(program.endedCleanly());
}

// A whole monitor is recorded: the stop button goes where the recording does not look (the
// other monitor), since an X11 grab would show any window over the region.
TEST_F(EndToEnd, TheHotKeyRecordsAWholeScreenWithoutTheStopButtonInThePicture) {
    const RegionScene scene(kRegion);
    ProgramInstance program(
        {{"recordSystemSound", false}, {"countdownSeconds", 0}, {"showsCursor", false}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();

    // The second press comes while the overlay holds the keyboard and cancels it; its release
    // goes to another window, and the key must still work after.
    pressKeys({"super+shift+r"});
    ASSERT_TRUE(waitUntil([&] { return program.showsOverlay(); }, 20s));
    pressKeys({"super+shift+r"});
    ASSERT_TRUE(waitUntil([&] { return program.windows().isEmpty(); }, 20s));
    pressKeys({"super+shift+r"});
    ASSERT_TRUE(waitUntil([&] { return program.showsOverlay(); }, 20s));
    dragOut(kScreenA);
    pressKeys({"Return"});
    const std::optional<QRect> stopButton = program.waitForStopButton();
    ASSERT_TRUE(stopButton.has_value());
    EXPECT_TRUE(kScreenB.contains(*stopButton));
    pause(2s);
    pressKeys({"super+shift+r"});
    const std::optional<QString> path = program.waitForRecording();
    ASSERT_TRUE(path.has_value()) << program.output().toStdString();
    ASSERT_TRUE(dismissSavedAlert());

    const MediaProbe media(path->toStdString());
    ASSERT_EQ(media.streams("video").size(), 1u);
    EXPECT_EQ(media.streams("video")[0].at("width"), "1920");
    EXPECT_EQ(media.streams("audio").size(), 0u) << "system sound is off";
    // The tray's red dot is in the picture, as on any recording of this monitor; nothing else is.
    const QRect tray = program.trayIcon().adjusted(-2, -2, 2, 2);
    const auto frames = media.decodedFrames();
    ASSERT_GE(frames.size(), 5u);
    for (size_t i = 0; i < frames.size(); i += 3) {
        const QImage frame = frameImage(frames[i], 1920, 1080);
        EXPECT_EQ(countPixels(frame,
                              [&](int x, int y) {
                                  return isRecordingRed(frame.pixel(x, y)) && !tray.contains(x, y);
                              }),
                  0)
            << "frame " << i;
    }

    program.askToQuit();
    EXPECT_TRUE(program.endedCleanly());
}

}  // namespace
}  // namespace vantorel::testing
