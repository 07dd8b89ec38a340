#include "capture/recorder_error.h"
#include "flow_fixture.h"

namespace vantorel::testing {
namespace {

TEST_F(FlowTest, LaunchShowsTheRecordSymbolAloneAndRegistersDefaults) {
    EXPECT_EQ(notifier_.setups, 1);
    ASSERT_NE(statusItem_, nullptr);
    EXPECT_EQ(statusItem_->look.symbol, StatusSymbol::recordCircle);
    EXPECT_EQ(statusItem_->look.accessibilityDescription, "Vantorel");
    EXPECT_EQ(statusItem_->look.title, "");
    EXPECT_EQ(store_.integer(Preferences::kFrameRate), 30);
    EXPECT_TRUE(store_.boolean(Preferences::kShowsCursor));
    EXPECT_EQ(delegate_->phase(), Phase::idle);
}

TEST_F(FlowTest, ToggleInIdleShowsTheOverlayAndCreatesTheSaveFolder) {
    EXPECT_FALSE(QDir(saveFolder()).exists());
    toSelecting();
    EXPECT_TRUE(log_.contains("overlay shown"));
    EXPECT_TRUE(QDir(saveFolder()).exists());
    EXPECT_TRUE(presenter_.alerts.empty());
}

TEST_F(FlowTest, MissingPermissionPromptsAndAsks) {
    access_.allowed = false;
    delegate_->menuToggle();
    EXPECT_EQ(access_.requests, 1);
    EXPECT_EQ(access_.settingsOpened, 0) << "a Linux desktop has no such page";
    EXPECT_EQ(alertTitles(), std::vector<QString>(1, "Screen recording permission needed"));
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    EXPECT_FALSE(log_.contains("overlay shown"));
}

TEST_F(FlowTest, NoScreenGivesOneAlertWithoutDetails) {
    screens_.clear();
    delegate_->menuToggle();
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].title, "No display found");
    EXPECT_EQ(presenter_.alerts[0].message, "There is no screen to record.");
    EXPECT_EQ(presenter_.alerts[0].buttons, QStringList({"OK"}));
    EXPECT_EQ(delegate_->phase(), Phase::idle);
}

TEST_F(FlowTest, AnUncreatableSaveFolderStopsBeforeTheOverlay) {
    QFile blocker(dir_.filePath("plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    store_.setString(Preferences::kSaveFolder, dir_.filePath("plain-file/Brisolet"));
    delegate_->menuToggle();
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].title, "Can't save to this folder");
    EXPECT_EQ(presenter_.alerts[0].message,
              "The folder \"Brisolet\" can't be written. Pick another one under Settings, Save "
              "Location.");
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    EXPECT_FALSE(log_.contains("overlay shown"));
}

TEST_F(FlowTest, CancellingTheSelectionReturnsToIdleOnce) {
    toSelecting();
    delegate_->menuToggle();  // the toggle cancels the overlay
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    EXPECT_EQ(log_.count("overlay cancelled"), 1);
    drainMainThread();
    EXPECT_TRUE(log_.contains("overlay released"));
    toSelecting();
    overlay_->cancel();  // the overlay's own cancel (Escape)
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    EXPECT_EQ(log_.count("overlay cancelled"), 2);
}

TEST_F(FlowTest, ConfirmingStoresTheLastSizeAndStartsAfterTheShortWait) {
    toSelecting();
    overlay_->confirm(selection());
    EXPECT_EQ(delegate_->phase(), Phase::countdown);
    EXPECT_EQ(store_.integer(Preferences::kLastWidth), 1280);
    EXPECT_EQ(store_.integer(Preferences::kLastHeight), 720);
    drainMainThread();
    EXPECT_TRUE(log_.contains("overlay released"));
    scheduler_.advance(199ms);
    EXPECT_EQ(engine_, nullptr);
    scheduler_.advance(1ms);
    drainMainThread();
    ASSERT_NE(engine_, nullptr);
    EXPECT_EQ(delegate_->phase(), Phase::recording);
    EXPECT_EQ(statusItem_->look.symbol, StatusSymbol::circleFill);
    EXPECT_EQ(statusItem_->look.title, " 00:00");
    EXPECT_EQ(delegate_->currentURL(), savedFile());
}

TEST_F(FlowTest, TheCountdownShowsThreeTwoOneAndStartsAboutThreePointFourSecondsLater) {
    store_.setInteger(Preferences::kCountdownSeconds, 5);  // any non-zero value counts 3, 2, 1
    toSelecting();
    overlay_->confirm(selection());
    scheduler_.advance(200ms);
    EXPECT_EQ(log_.events.back(), "countdown 3");
    scheduler_.advance(1000ms);
    EXPECT_EQ(log_.events.back(), "countdown 2");
    scheduler_.advance(1000ms);
    EXPECT_EQ(log_.events.back(), "countdown 1");
    scheduler_.advance(1000ms);
    EXPECT_EQ(log_.events.back(), "countdown closed");
    scheduler_.advance(199ms);
    EXPECT_EQ(engine_, nullptr);
    scheduler_.advance(1ms);
    drainMainThread();
    ASSERT_NE(engine_, nullptr);
    EXPECT_EQ(delegate_->phase(), Phase::recording);
}

TEST_F(FlowTest, DuringCountdownAndCaptureStartTheToggleAndPillDoNothing) {
    answerStartAtOnce_ = false;
    toSelecting();
    overlay_->confirm(selection());
    delegate_->menuToggle();
    scheduler_.advance(200ms);
    drainMainThread();
    ASSERT_NE(engine_, nullptr);
    ASSERT_TRUE(pillAction_);
    pillAction_();  // the pill is up while the engine starts
    delegate_->menuToggle();
    delegate_->machineWillSleep();
    drainMainThread();
    EXPECT_EQ(delegate_->phase(), Phase::countdown);
    EXPECT_EQ(engine_->stops, 0);
    std::exchange(engine_->pendingStart, nullptr)(nullptr);
    drainMainThread();
    EXPECT_EQ(delegate_->phase(), Phase::recording);
}

// A desktop without a tray: the program says once, a few seconds after its start, how to reach it.
TEST_F(FlowTest, WithoutATrayTheUserIsToldOnceHowToRecord) {
    for (const bool trayPresent : {true, false}) {
        SCOPED_TRACE(trayPresent ? "with a tray" : "without one");
        delegate_ = std::make_unique<AppDelegate>(services());
        notifier_.notices.clear();
        delegate_->applicationDidFinishLaunching();
        statusItem_->panelPresent = trayPresent;
        scheduler_.advance(4s);
        EXPECT_TRUE(notifier_.notices.empty());
        scheduler_.advance(10s);
        EXPECT_EQ(notifier_.notices.size(), trayPresent ? 0u : 1u);
    }
}

// Where every place for the stop button would be in the video, the tray tells how to stop.
TEST_F(FlowTest, WithoutRoomForThePillTheTrayTooltipSaysHowToStop) {
    toRecording();
    EXPECT_TRUE(statusItem_->look.note.isEmpty());
    delegate_->stopRecording();
    drainMainThread();
    ASSERT_EQ(delegate_->phase(), Phase::idle);
    pillHasRoom_ = false;
    toRecording();
    EXPECT_TRUE(statusItem_->look.note.contains("Super+Shift+R"));
    delegate_->menuToggle();
    EXPECT_EQ(delegate_->phase(), Phase::stopping);
}

TEST_F(FlowTest, TheEngineGetsTheSettingsAndAFilterWithoutOurOwnApplication) {
    store_.setBoolean(Preferences::kShowsCursor, false);
    store_.setBoolean(Preferences::kRecordSystemSound, true);
    toRecording();
    const RecorderConfig& config = engine_->config;
    EXPECT_EQ(config.frameRate, 30);
    EXPECT_FALSE(config.showsCursor);
    EXPECT_TRUE(config.capturesAudio);
    EXPECT_EQ(config.pixelWidth, 1280);
    EXPECT_EQ(config.pixelHeight, 720);
    EXPECT_DOUBLE_EQ(config.sourceRect.x, 10);
    EXPECT_DOUBLE_EQ(config.sourceRect.y, 20);
    EXPECT_DOUBLE_EQ(config.sourceRect.width, 640);
    EXPECT_DOUBLE_EQ(config.sourceRect.height, 360);
    EXPECT_EQ(QString::fromStdString(config.outputURL.string()), savedFile());
    ASSERT_TRUE(config.filter);
    EXPECT_EQ(config.filter->display.displayID, 7u);
    ASSERT_EQ(config.filter->excludedApplications.size(), 2u);
    for (const RunningApplication& app : config.filter->excludedApplications) {
        EXPECT_EQ(app.processID, kOwnPid);
    }
    EXPECT_TRUE(config.filter->exceptingWindows.empty());
    EXPECT_FALSE(captureService_->lastExcludingDesktop);
    EXPECT_TRUE(captureService_->lastOnScreenOnly);
    EXPECT_TRUE(log_.contains("outline front"));
    EXPECT_TRUE(log_.contains("pill front"));
}

TEST_F(FlowTest, OnlyAStoredSixtyRecordsAtSixtyFramesPerSecond) {
    for (const auto& [stored, expected] :
         {std::pair{60, 60}, {30, 30}, {0, 30}, {25, 30}, {120, 30}}) {
        store_.setInteger(Preferences::kFrameRate, stored);
        toRecording();
        EXPECT_EQ(engine_->config.frameRate, expected) << "stored " << stored;
        delegate_->menuToggle();
        drainMainThread();
        ASSERT_EQ(delegate_->phase(), Phase::idle);
    }
}

class StartFailureTest : public FlowTest {
  public:
    void setContentError(ErrorRef e) { captureService_->error = std::move(e); }
    void setDisplayNumber(std::optional<uint32_t> n) { displayNumber_ = n; }
    void setStartError(ErrorRef e) { startError_ = std::move(e); }
};

TEST_F(StartFailureTest, EveryFailureEndsIdleWithItsOneAlert) {
    const QString genericMessage =
        "Something went wrong while starting the recording. Try again; if it keeps happening, the "
        "details say whether the display, the sound server or the video encoder refused.";
    const ErrorRef contentError =
        PlatformError::make("X11Capture", 2, "The X server could not be queried.");
    const ErrorRef streamError = PlatformError::make("X11Capture", 5, "The stream failed.");
    const ErrorRef writeError =
        RecorderError::cannotWrite(PlatformError::make("POSIX", 13, "Permission denied"));
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString title;
        QString message;
        QString details;
    };
    const Case cases[] = {
        {"content error", [&] { setContentError(contentError); }, "The recording failed to start",
         genericMessage, "The X server could not be queried."},
        {"screen without number", [&] { setDisplayNumber(std::nullopt); }, "No display found",
         "The screen you picked is no longer available.", "noDisplay"},
        {"display gone", [&] { setDisplayNumber(99); }, "No display found",
         "The screen you picked is no longer available.", "noDisplay"},
        {"cannot write", [&] { setStartError(writeError); }, "Can't save to this folder",
         "The video file could not be created in \"Brisolet\".", "cannotWrite(Permission denied)"},
        {"stream error", [&] { setStartError(streamError); }, "The recording failed to start",
         genericMessage, "The stream failed."},
        {"no frames", [&] { setStartError(RecorderError::noFrames()); },
         "The recording failed to start", genericMessage,
         "No video frames were captured, so no file was saved.\n\nnoFrames"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        captureService_->error = nullptr;
        displayNumber_ = 7;
        startError_ = nullptr;
        presenter_.alerts.clear();
        log_.events.clear();
        c.arrange();
        toSelecting();
        overlay_->confirm(selection());
        scheduler_.advance(200ms);
        drainMainThread();
        EXPECT_EQ(delegate_->phase(), Phase::idle);
        ASSERT_EQ(presenter_.alerts.size(), 1u);
        EXPECT_EQ(presenter_.alerts[0].title, c.title);
        EXPECT_EQ(presenter_.alerts[0].message, c.message);
        EXPECT_EQ(presenter_.alerts[0].buttons, QStringList({"OK", "Show Details"}));
        EXPECT_TRUE(log_.contains("outline closed"));
        EXPECT_TRUE(log_.contains("pill closed"));
        EXPECT_EQ(statusItem_->look.symbol, StatusSymbol::recordCircle);
    }
}

TEST_F(StartFailureTest, DetailsOfEachFailureAreTheErrorTexts) {
    presenter_.answers = {1};
    startError_ = RecorderError::cannotWrite(RecorderError::writerFailed());
    toSelecting();
    overlay_->confirm(selection());
    scheduler_.advance(200ms);
    drainMainThread();
    ASSERT_EQ(presenter_.alerts.size(), 2u);
    EXPECT_EQ(presenter_.alerts[1].details->text, "cannotWrite(writerFailed)");
}

TEST_F(FlowTest, ARefusedPermissionAtStartShowsOnlyThePrompt) {
    startError_ = PlatformError::make("Capture", PlatformError::kPermissionDeclined, "declined");
    toSelecting();
    overlay_->confirm(selection());
    scheduler_.advance(200ms);
    drainMainThread();
    EXPECT_EQ(alertTitles(), std::vector<QString>{"Screen recording permission needed"});
    EXPECT_EQ(access_.requests, 0) << "the permission is not asked for again here";
    EXPECT_EQ(delegate_->phase(), Phase::idle);
}

}  // namespace
}  // namespace vantorel::testing
