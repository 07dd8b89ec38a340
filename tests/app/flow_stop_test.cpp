#include <csignal>

#include "app/quit_signal_watcher.h"
#include "capture/recorder_error.h"
#include "flow_fixture.h"

namespace vantorel::testing {
namespace {

const QString kFailureReason =
    "The recording stopped unexpectedly. What was recorded so far was saved if possible.";

TEST_F(FlowTest, TheTickShowsTheElapsedTime) {
    toRecording();
    scheduler_.advance(1000ms);
    EXPECT_EQ(statusItem_->look.title, " 00:01");
    scheduler_.advance(60'000ms);
    EXPECT_EQ(statusItem_->look.title, " 01:01");
    EXPECT_EQ(freeBytesAskedFor_, saveFolder());
}

TEST_F(FlowTest, LowSpaceStopsAtOneByteBelowTheLimitAndNotWhenUnknown) {
    toRecording();
    freeBytes_ = 300'000'000;
    scheduler_.advance(1000ms);
    freeBytes_ = std::nullopt;
    scheduler_.advance(1000ms);
    EXPECT_EQ(engine_->stops, 0);
    keepSavedFile();
    engine_->stopResult = stopResult_;
    freeBytes_ = 299'999'999;
    scheduler_.advance(1000ms);
    drainMainThread();
    EXPECT_EQ(engine_->stops, 1);
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].title, "Recording stopped");
    EXPECT_EQ(presenter_.alerts[0].message,
              "The disk is almost full, so the recording was stopped and saved.");
    EXPECT_FALSE(presenter_.alerts[0].details) << "no details: only OK";
    EXPECT_EQ(notifier_.saved, std::vector<QString>{savedFile()});
}

TEST_F(FlowTest, AUserStopSavesAnnouncesAndListsTheFileWithoutAnAlert) {
    answerStopAtOnce_ = false;
    toRecording();
    QFile(savedFile()).open(QIODevice::WriteOnly);  // the engine's file
    pillAction_();
    EXPECT_EQ(delegate_->phase(), Phase::stopping);
    EXPECT_EQ(statusItem_->look.title, QStringLiteral(" Saving\u2026"));
    EXPECT_EQ(statusItem_->look.accessibilityDescription, "Saving");
    EXPECT_TRUE(log_.contains("outline closed"));
    EXPECT_TRUE(log_.contains("pill closed"));
    EXPECT_EQ(scheduler_.activeRepeatingTimers(), 0);
    delegate_->menuToggle();  // disabled while saving
    delegate_->stopRecording();
    EXPECT_EQ(engine_->stops, 1);
    answerStop(StopResult{savedFile().toStdString(), nullptr});
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    EXPECT_FALSE(delegate_->currentURL());
    EXPECT_TRUE(presenter_.alerts.empty());
    EXPECT_EQ(notifier_.saved, std::vector<QString>{savedFile()});
    EXPECT_EQ(Preferences::recents(store_), QStringList{savedFile()});
    EXPECT_EQ(statusItem_->look.title, "");
}

TEST_F(FlowTest, NothingSavedGivesOneAlertWithTheEngineError) {
    stopResult_ = StopResult{std::nullopt, RecorderError::noFrames()};
    toRecording();
    presenter_.answers = {1};
    delegate_->menuToggle();
    drainMainThread();
    ASSERT_EQ(presenter_.alerts.size(), 2u);
    EXPECT_EQ(presenter_.alerts[0].title, "The recording could not be saved");
    EXPECT_EQ(presenter_.alerts[0].message,
              "The video file could not be finished, so it was removed.");
    EXPECT_EQ(presenter_.alerts[1].details->text, "noFrames");
    EXPECT_TRUE(notifier_.saved.empty());
    EXPECT_TRUE(
        store_.stringList(Preferences::kRecentRecordings).value_or(QStringList()).isEmpty());
}

TEST_F(FlowTest, NothingSavedAndNoErrorStillOffersEmptyDetails) {
    toRecording();
    presenter_.answers = {1};
    delegate_->menuToggle();
    drainMainThread();
    ASSERT_EQ(presenter_.alerts.size(), 2u);
    EXPECT_EQ(presenter_.alerts[1].details->text, "");
}

TEST_F(FlowTest, AnEngineFailureStopsWithItsReasonAndDetails) {
    keepSavedFile();
    toRecording();
    presenter_.answers = {1};
    engine_->onFailure(PlatformError::make("PulseAudio", 1, "The sound server went away."));
    drainMainThread();
    ASSERT_EQ(engine_->stops, 1);
    ASSERT_EQ(presenter_.alerts.size(), 2u);
    EXPECT_EQ(presenter_.alerts[0].title, "Recording stopped");
    EXPECT_EQ(presenter_.alerts[0].message, kFailureReason);
    EXPECT_EQ(presenter_.alerts[1].details->text, "The sound server went away.");
    EXPECT_EQ(notifier_.saved.size(), 1u);
}

TEST_F(FlowTest, AnEngineFailureThatLosesTheFileJoinsBothTexts) {
    stopResult_ = StopResult{std::nullopt, RecorderError::writerFailed()};
    toRecording();
    presenter_.answers = {1};
    engine_->onFailure(RecorderError::writerFailed());
    drainMainThread();
    ASSERT_EQ(presenter_.alerts.size(), 2u);
    EXPECT_EQ(presenter_.alerts[0].title, "The recording could not be saved");
    EXPECT_EQ(presenter_.alerts[0].message, kFailureReason);
    EXPECT_EQ(presenter_.alerts[1].details->text, "writerFailed\n\nwriterFailed");
}

TEST_F(FlowTest, ALateEngineFailureAfterAUserStopIsIgnored) {
    answerStopAtOnce_ = false;
    toRecording();
    delegate_->menuToggle();
    engine_->onFailure(RecorderError::writerFailed());
    drainMainThread();
    EXPECT_EQ(engine_->stops, 1);
    answerStop(StopResult{savedFile().toStdString(), nullptr});
    EXPECT_TRUE(presenter_.alerts.empty()) << "the user's stop is reported, not the failure";
    auto failure = engine_->onFailure;
    failure(RecorderError::writerFailed());  // even later, in idle
    drainMainThread();
    EXPECT_TRUE(presenter_.alerts.empty());
    EXPECT_EQ(delegate_->phase(), Phase::idle);
}

TEST_F(FlowTest, SleepStopsOnlyARecording) {
    delegate_->machineWillSleep();
    drainMainThread();
    toSelecting();
    delegate_->machineWillSleep();
    drainMainThread();
    EXPECT_EQ(delegate_->phase(), Phase::selecting);
    overlay_->confirm(selection());
    delegate_->machineWillSleep();
    drainMainThread();
    EXPECT_EQ(delegate_->phase(), Phase::countdown);
    keepSavedFile();
    scheduler_.advance(200ms);
    drainMainThread();
    engine_->stopResult = stopResult_;
    delegate_->machineWillSleep();
    EXPECT_EQ(delegate_->phase(), Phase::recording)
        << "the stop is scheduled, not run inside the notice";
    drainMainThread();
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].title, "Recording stopped");
    EXPECT_EQ(presenter_.alerts[0].message, "The computer went to sleep.");
}

TEST_F(FlowTest, QuitEndsAtOnceInIdleSelectingAndCountdown) {
    delegate_->requestQuit();
    EXPECT_EQ(terminations_, 1);
    toSelecting();
    delegate_->requestQuit();
    EXPECT_EQ(terminations_, 2);
    EXPECT_TRUE(log_.contains("overlay closed"));
    EXPECT_FALSE(log_.contains("overlay cancelled")) << "closed without its cancel callback";
    delegate_.reset();
    delegate_ = std::make_unique<AppDelegate>(services());
    delegate_->applicationDidFinishLaunching();
    toSelecting();
    overlay_->confirm(selection());
    delegate_->requestQuit();
    EXPECT_EQ(terminations_, 3);
}

TEST_F(FlowTest, QuitWhileTheEngineStartsWaitsAndLeavesNoBrokenFile) {
    answerStartAtOnce_ = false;
    answerStopAtOnce_ = false;
    toSelecting();
    overlay_->confirm(selection());
    scheduler_.advance(200ms);
    drainMainThread();
    ASSERT_NE(engine_, nullptr);
    delegate_->requestQuit();
    EXPECT_EQ(terminations_, 0) << "the engine's file exists already";
    std::exchange(engine_->pendingStart, nullptr)(nullptr);
    drainMainThread();
    EXPECT_EQ(engine_->stops, 1) << "started, then finished at once";
    answerStop(StopResult{std::nullopt, RecorderError::noFrames()});
    EXPECT_EQ(terminations_, 1);
    EXPECT_TRUE(presenter_.alerts.empty());
}

TEST_F(FlowTest, QuitWhileTheEngineFailsToStartEndsWithoutAnAlert) {
    answerStartAtOnce_ = false;
    toSelecting();
    overlay_->confirm(selection());
    scheduler_.advance(200ms);
    drainMainThread();
    delegate_->requestQuit();
    std::exchange(engine_->pendingStart,
                  nullptr)(RecorderError::cannotWrite(RecorderError::writerFailed()));
    drainMainThread();
    EXPECT_EQ(terminations_, 1);
    EXPECT_TRUE(presenter_.alerts.empty());
    EXPECT_EQ(delegate_->phase(), Phase::idle);
}

TEST_F(FlowTest, QuitWhileRecordingWaitsForTheFileAndShowsNoAlert) {
    answerStopAtOnce_ = false;
    toRecording();
    delegate_->requestQuit();
    EXPECT_EQ(delegate_->phase(), Phase::stopping);
    EXPECT_TRUE(delegate_->quitAfterStop());
    EXPECT_EQ(terminations_, 0);
    delegate_->requestQuit();  // a second request while saving
    EXPECT_EQ(terminations_, 0);
    answerStop(StopResult{savedFile().toStdString(), nullptr});
    EXPECT_EQ(terminations_, 1);
    EXPECT_FALSE(delegate_->quitAfterStop());
    EXPECT_EQ(notifier_.saved.size(), 1u);
    EXPECT_EQ(store_.stringList(Preferences::kRecentRecordings)->size(), 1);
    EXPECT_TRUE(presenter_.alerts.empty());
}

TEST_F(FlowTest, QuitWhileRecordingShowsNoAlertEvenWhenNothingWasSaved) {
    stopResult_ = StopResult{std::nullopt, RecorderError::noFrames()};
    toRecording();
    delegate_->requestQuit();
    drainMainThread();
    EXPECT_EQ(terminations_, 1);
    EXPECT_TRUE(presenter_.alerts.empty());
}

TEST_F(FlowTest, TerminationSignalIsAQuitRequestThatSavesTheRecording) {
    answerStopAtOnce_ = false;
    toRecording();
    QuitSignalWatcher watcher([this] { delegate_->requestQuit(); });
    ASSERT_EQ(::raise(SIGTERM), 0);  // the process lives on: the watcher handles it
    ASSERT_TRUE(waitUntil([this] { return engine_->stops == 1; }));
    EXPECT_TRUE(delegate_->quitAfterStop());
    answerStop(StopResult{savedFile().toStdString(), nullptr});
    EXPECT_EQ(terminations_, 1);
    EXPECT_EQ(notifier_.saved.size(), 1u);
    ASSERT_EQ(::raise(SIGHUP), 0);  // in idle the next request ends at once
    ASSERT_TRUE(waitUntil([this] { return terminations_ == 2; }));
}

}  // namespace
}  // namespace vantorel::testing
