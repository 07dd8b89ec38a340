#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "alert_reader.h"
#include "gtest_qt_printing.h"
#include "screen_checks.h"
#include "session_helpers.h"
#include "user_steps.h"

// Failures as the user meets them: each one ends in one alert, leaves no file behind and leaves
// the program running.
namespace vantorel::e2e {
namespace {

class FailureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"))
            << "run inside scripts/headless-session.sh";
    }
};

// ---------------------------------------------------------------------------------------------
// A save folder that cannot be written: the alert comes before the overlay.

struct FolderCase {
    const char* name;
    bool folderExists;         // the folder is the read-only mount itself, or one to be made in it
    const char* beforeFolder;  // the details: this, the folder's path, then the system's reason
    const char* reason;
};

class UnwritableFolderTest : public FailureTest,
                             public ::testing::WithParamInterface<FolderCase> {};

TEST_P(UnwritableFolderTest, TheAlertComesBeforeTheOverlay) {
    const FolderCase folderCase = GetParam();
    TmpfsMount readOnly("ro,size=64k");
    if (!readOnly.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << readOnly.error().toStdString();
    }
    const QString folder = folderCase.folderExists ? readOnly.path() : readOnly.path() + "/Takes";
    VantorelInstance program({{"saveFolder", folder}, {"countdownSeconds", 0}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();

    ASSERT_TRUE(program.chooseStartRecording());
    std::optional<AlertReader> alert = AlertReader::waitFor("Can't save to this folder");
    ASSERT_TRUE(alert.has_value());
    EXPECT_EQ(program.screenSizedWindows(), 0) << "no overlay behind the alert";
    const QStringList texts = alert->texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], "Can't save to this folder");
    EXPECT_EQ(texts[1], "The folder \"" + QFileInfo(folder).fileName() +
                            "\" can't be written. Pick another one under Settings, Save Location.");

    alert->clickRightmostButton();  // "Show Details"
    std::optional<AlertReader> details = AlertReader::waitFor("Details", 20s);
    ASSERT_TRUE(details.has_value());
    const QString detailsText = details->detailsFieldText();
    EXPECT_TRUE(detailsText.startsWith(folderCase.beforeFolder + folder))
        << detailsText.toStdString();
    EXPECT_TRUE(detailsText.endsWith(folderCase.reason)) << detailsText.toStdString();
    details->pressKey("Return");
    ASSERT_TRUE(waitUntil([&] { return details->gone(); }, 10s));

    EXPECT_EQ(program.screenSizedWindows(), 0) << "the overlay never showed";
    EXPECT_TRUE(readOnly.files().isEmpty());
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(program.stop());
}

INSTANTIATE_TEST_SUITE_P(Folder, UnwritableFolderTest,
                         ::testing::Values(FolderCase{"ThatExists", true, "Not writable: ", ""},
                                           FolderCase{"ThatCannotBeMade", false, "",
                                                      "Read-only file system"}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// ---------------------------------------------------------------------------------------------
// The screen of the selection goes away during the countdown.

class LostDisplayTest : public FailureTest {
  protected:
    void TearDown() override {
        // Put the session's second screen back whatever happened.
        if (!runCommand("xrandr", {"--listmonitors"}).output.contains("MON-B")) {
            runCommand("xrandr", {"--setmonitor", "MON-B", "1920/508x1080/286+1920+0", "none"});
        }
    }
};

TEST_F(LostDisplayTest, ASelectionOnAScreenThatWentAwayGivesNoDisplayFound) {
    const QRect region = QRect(300, 300, 640, 360).translated(kScreenB.topLeft());
    VantorelInstance program({{"countdownSeconds", 3}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();

    ASSERT_TRUE(openOverlay(program));
    dragRegion(region);
    confirmWithReturn();
    moveMouse(QPoint(1400, 950));
    ASSERT_TRUE(waitUntil(
        [&] {
            const CountdownReading countdown = readCountdown(grabScreen(region), Qt::black);
            return countdown.darkCentre && countdown.digitPixels > 200;
        },
        10s, 20ms))
        << "no countdown on the second screen";
    ASSERT_TRUE(runCommand("xrandr", {"--delmonitor", "MON-B"}).ok());

    std::optional<AlertReader> alert = AlertReader::waitFor("No display found");
    ASSERT_TRUE(alert.has_value());
    EXPECT_EQ(alert->texts(),
              (QStringList{"No display found", "The screen you picked is no longer available."}));
    alert->pressKey("Return");
    ASSERT_TRUE(waitUntil([&] { return alert->gone(); }, 10s));

    EXPECT_TRUE(program.windows().isEmpty()) << "no outline or pill is left";
    EXPECT_FALSE(QDir(program.videosFolder()).exists() &&
                 !QDir(program.videosFolder()).entryList(QDir::Files).isEmpty())
        << "no file is left";
    EXPECT_TRUE(program.recentRecordings().isEmpty());
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(program.stop());
}

// ---------------------------------------------------------------------------------------------
// The disk fills up while recording.

TEST_F(FailureTest, AFullDiskWhileRecordingLeavesNoFileAndSaysWhy) {
    TmpfsMount small("size=400k");
    if (!small.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << small.error().toStdString();
    }
    // Low on the right of the first screen: the scene window sits above managed windows, and
    // the alert comes up in the middle of the screen.
    const QRect region(1200, 680, 640, 360);
    // Fresh noise in every frame hardly compresses, so the file outgrows 400 kB at once.
    SceneProcess scene(SceneMode::noise, region);
    ASSERT_TRUE(scene.waitShown());
    VantorelInstance program({{"saveFolder", small.path()}, {"countdownSeconds", 0}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();

    ASSERT_TRUE(openOverlay(program));
    dragRegion(region);
    confirmWithReturn();
    moveMouse(QPoint(1400, 950));

    std::optional<AlertReader> alert = AlertReader::waitFor("The recording could not be saved");
    ASSERT_TRUE(alert.has_value()) << program.output().toStdString();
    scene.close();
    const QStringList texts = alert->texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], "The recording could not be saved");
    // The writer's failure stops it; should the first one-second check of the free space come
    // first, that stop is the one reported.
    EXPECT_THAT(texts[1], ::testing::AnyOf(
                              "The recording stopped unexpectedly. What was recorded so far "
                              "was saved if possible.",
                              "The disk is almost full, so the recording was stopped and saved."));

    alert->clickRightmostButton();  // "Show Details"
    std::optional<AlertReader> details = AlertReader::waitFor("Details", 20s);
    ASSERT_TRUE(details.has_value());
    const QString detailsText = details->detailsFieldText();
    EXPECT_TRUE(detailsText.contains("No space left on device")) << detailsText.toStdString();
    details->pressKey("Return");
    ASSERT_TRUE(waitUntil([&] { return details->gone(); }, 10s));

    EXPECT_EQ(small.files(), QStringList{}) << "the broken file is removed";
    EXPECT_TRUE(program.recentRecordings().isEmpty());
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(program.stop());
}

}  // namespace
}  // namespace vantorel::e2e
