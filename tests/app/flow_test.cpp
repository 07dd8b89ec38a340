#include <QDir>
#include <QFileInfo>

#include "flow_fixture.h"

namespace vantorel::testing {
namespace {

const Error kGone{Error::Kind::captureLost, "The display went away.", "X connection lost"};
const Error kFull{Error::Kind::writerFailed, "The file could not be written.", "No space left"};

// The flow showed the alert the words table gives for the situation, and its details.
void expectAlert(const FakePresenter& presenter, const std::optional<FailureAlert>& expected) {
    ASSERT_EQ(presenter.alerts.size(), expected ? expected->details ? 2u : 1u : 0u);
    if (expected) {
        EXPECT_EQ(presenter.alerts[0].title, expected->title);
        EXPECT_EQ(presenter.alerts[0].message, expected->message);
        const auto& details = presenter.alerts.back().details;
        EXPECT_EQ(details ? details->text : "", expected->details.value_or(""));
    }
}

TEST_F(FlowTest, EachPhaseAnswersEachRequestAsTheTableSays) {
    enum Request { toggle, click, sleep, escape };
    using enum From;
    const std::tuple<From, Request, Phase> rows[] = {
        {idle, toggle, Phase::selecting},     {idle, sleep, Phase::idle},
        {selecting, toggle, Phase::idle},     {selecting, escape, Phase::idle},
        {selecting, sleep, Phase::selecting}, {starting, toggle, Phase::countdown},
        {starting, click, Phase::countdown},  {starting, sleep, Phase::countdown},
        {recording, toggle, Phase::stopping}, {recording, click, Phase::stopping},
        {recording, sleep, Phase::stopping},  {stopping, toggle, Phase::stopping},
        {stopping, sleep, Phase::stopping},
    };
    for (const auto& [from, request, to] : rows) {
        SCOPED_TRACE(std::to_string(int(from)) + " on " + std::to_string(request));
        reach(from);
        const std::function<void()> act[] = {
            [&] { flow_->toggle(); }, [&] { emit button_->clicked(); },
            [&] { flow_->stopForSleep(); }, [&] { overlay_->cancel(); }};
        act[request]();
        EXPECT_EQ(flow_->phase(), to);
        TearDown();
    }
}

// Every stop and every failed start ends idle, with the file kept or removed, the windows
// closed, and the alert the words table has for the situation.
TEST_F(FlowTest, EveryEndingKeepsOrRemovesTheFileAndSaysWhatTheSituationCallsFor) {
    using namespace FailureAlerts;
    const Error refused{Error::Kind::cannotWrite, "Not created.", "Permission denied"};
    const Error noMonitor{Error::Kind::noDisplay, "The monitor is gone.", "MON-B"};
    const Error declined{Error::Kind::permissionDeclined, "Sharing was declined.", {}};
    using Step = std::function<void()>;
    const std::tuple<Step, Step, bool, std::optional<FailureAlert>> endings[] = {
        {{}, [&] { flow_->toggle(); }, true, std::nullopt},
        {{}, [&] { flow_->stopForSleep(); }, true, stopped(StopReason::sleep, {})},
        {{}, [&] { freeBytes_ = 299'999'999; }, true, stopped(StopReason::lowSpace, {})},
        {{},
         [&] { source_->stopBySelf(kGone); },
         true,
         stopped(StopReason::captureFailure, kGone.details())},
        {[&] { writer_->failed = kFull; }, [&] { source_->stopBySelf(kGone); }, false,
         notSaved(StopReason::captureFailure, kGone.details(), kFull)},
        {[&] { writer_->finishError = kFull; }, [&] { flow_->toggle(); }, false,
         notSaved(StopReason::user, {}, kFull)},
        {[&] { createError_ = refused; }, {}, false, startFailed(refused, folder())},
        {[&] { openError_ = kFull; }, {}, false, startFailed(kFull, folder())},
        {[&] { startError_ = noMonitor; }, {}, false, startFailed(noMonitor, folder())},
        {[&] { startError_ = declined; }, {}, false, startFailed(declined, folder())},
    };
    for (const auto& [before, stop, saved, alert] : endings) {
        SCOPED_TRACE(alert ? alert->message.toStdString() : "the user");
        presenter_ = {};
        presenter_.answers = {1};  // opens the details
        notifier_.saved.clear();
        log_.clear();
        freeBytes_ = int64_t{300'000'000};
        createError_ = openError_ = startError_ = std::nullopt;
        makeFlow();
        if (stop) {
            record();
            if (before) {
                before();
            }
            stop();
        } else {
            before();
            confirm();
        }
        finish();
        EXPECT_EQ(notifier_.saved.size(), saved ? 1u : 0u);
        EXPECT_EQ(Preferences::recents(store_).size(), saved ? 1 : 0);
        EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), saved ? 1 : 0);
        expectAlert(presenter_, alert);
        EXPECT_TRUE(log_.contains("outline closed") && log_.contains("button closed"));
        TearDown();
        QDir(folder()).removeRecursively();
        store_.setStringList(Preferences::kRecentRecordings, {});
    }
}

// A quit ends at once what can end, and otherwise once the recording is finished: no alerts, and
// no capture starts after it.
TEST_F(FlowTest, AQuitEndsAtOnceOrOnceTheRecordingIsFinished) {
    using enum From;
    // Each row: where the quit comes, how the start is answered, and whether a file is kept.
    const std::tuple<From, std::optional<Error>, std::optional<Error>, bool> rows[] = {
        {idle, {}, {}, false},         {selecting, {}, {}, false},   {counting, {}, {}, false},
        {starting, {}, {}, false},     {starting, kGone, {}, false}, {recording, {}, {}, true},
        {recording, {}, kFull, false},
    };
    for (const auto& [from, startError, finishError, saved] : rows) {
        SCOPED_TRACE(int(from));
        notifier_.saved.clear();
        quitReady_ = 0;
        overlay_ = nullptr;
        reach(from);
        if (writer_ != nullptr && from == recording) {
            writer_->finishError = finishError;
        }
        FakeCaptureSource* const before = source_;
        flow_->quit();
        EXPECT_EQ(quitReady_, from <= counting ? 1 : 0);
        EXPECT_EQ(from == selecting, overlay_ && overlay_->closed) << "closed, not cancelled";
        if (from == starting) {
            before->heldAnswer(startError);
        }
        ASSERT_TRUE(waitUntil([&] { return quitReady_ == 1; }));
        pause(std::chrono::milliseconds(200));  // time for what should not happen
        EXPECT_EQ(source_, before) << "no capture starts after a quit";
        EXPECT_EQ(quitReady_, 1);
        EXPECT_TRUE(presenter_.alerts.empty());
        EXPECT_EQ(notifier_.saved.size(), saved ? 1u : 0u);
        TearDown();
    }
}

TEST_F(FlowTest, TheCountdownRunsOutBeforeTheCaptureStarts) {
    for (const int stored : {0, 5}) {  // any number but 0 counts 3, 2, 1
        store_.setInteger(Preferences::kCountdownSeconds, stored);
        log_.clear();
        makeFlow();
        confirm();
        ASSERT_TRUE(waitUntil([&] { return flow_->phase() == Phase::recording; }));
        EXPECT_EQ(log_.join(','), stored ? "3,2,1, closed,outline shown,button shown"
                                         : "outline shown,button shown");
        TearDown();
    }
}

// The region in the screen's device pixels, the frames at the selection's pixel size.
TEST_F(FlowTest, TheCaptureIsAskedForTheSelectionWithTheStoredSettings) {
    store_.setBoolean(Preferences::kShowsCursor, false);
    store_.setBoolean(Preferences::kRecordSystemSound, true);
    for (const auto& [stored, rate] : {std::pair{60, 60}, {30, 30}, {25, 30}}) {
        store_.setInteger(Preferences::kFrameRate, stored);
        makeFlow();
        record();
        const CaptureRequest& asked = source_->request;
        const double scale = selection().screen->devicePixelRatio();
        EXPECT_EQ(asked.monitor, selection().screen->name());
        EXPECT_EQ(asked.region, QRectF(10 * scale, 20 * scale, 640 * scale, 360 * scale).toRect());
        EXPECT_EQ(asked.frameSize, QSize(1280, 720));
        EXPECT_EQ(asked.frameRate, rate);
        EXPECT_FALSE(asked.showsCursor);
        EXPECT_TRUE(asked.capturesSound);
        EXPECT_EQ(QFileInfo(writer_->settings.path).absolutePath(), folder());
        EXPECT_EQ(Preferences::lastSize(store_), std::pair(int64_t{1280}, int64_t{720}));
        TearDown();
    }
}

}  // namespace
}  // namespace vantorel::testing
