#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <memory>

#include "app/logind_sleep_watcher.h"
#include "event_loop.h"
#include "fake_logind.h"
#include "flow_fixture.h"
#include "private_bus.h"

// The sleep watcher against a logind of the test's own on a private bus standing in for the
// system bus.
namespace vantorel::testing {
namespace {

class SleepWatcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.running());
        ASSERT_TRUE(logind_.registered());
    }

    PrivateBus bus_;
    FakeLogind logind_{bus_.connect("logind")};
    int sleeps_ = 0;
    LogindSleepWatcher watcher_{bus_.connect("vantorel"), [this] { ++sleeps_; }};
};

TEST_F(SleepWatcherTest, PrepareForSleepTrueCallsTheCallbackAndFalseDoesNot) {
    logind_.prepareForSleep(false);  // resuming
    logind_.prepareForSleep(true);
    // Signals from one sender arrive in order: once the true is in, the false was handled.
    ASSERT_TRUE(waitUntil([&] { return sleeps_ == 1; }));
    drainMainThread();
    EXPECT_EQ(sleeps_, 1);

    logind_.prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return sleeps_ == 2; }));
}

TEST_F(SleepWatcherTest, OnlyLogindItselfIsBelieved) {
    QDBusConnection impostor = bus_.connect("impostor");
    QDBusMessage fake = QDBusMessage::createSignal(
        "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
    fake << true;
    ASSERT_TRUE(impostor.send(fake));
    // A round trip through the bus: the impostor's signal has been routed before the real one.
    ASSERT_TRUE(impostor.interface()->isServiceRegistered("org.freedesktop.login1").value());
    logind_.prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return sleeps_ >= 1; }));
    drainMainThread();
    EXPECT_EQ(sleeps_, 1);
}

TEST_F(SleepWatcherTest, WhileIdleNothingIsHeld) {
    logind_.prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return sleeps_ == 1; }));
    EXPECT_TRUE(logind_.inhibitCalls.empty());
    EXPECT_FALSE(watcher_.holdsInhibitor());
}

TEST_F(SleepWatcherTest, ARecordingHoldsADelayInhibitorUntilItIsFinished) {
    watcher_.recordingStarted();
    ASSERT_TRUE(waitUntil([&] { return watcher_.holdsInhibitor(); }));
    ASSERT_EQ(logind_.inhibitCalls.size(), 1u);
    EXPECT_EQ(logind_.inhibitCalls[0],
              (QStringList{"sleep", "Vantorel", "Saving the recording", "delay"}));

    logind_.prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return sleeps_ == 1; }));
    drainMainThread();
    EXPECT_EQ(logind_.released, 0) << "sleep is held off while the file is being finished";

    watcher_.recordingFinished();
    EXPECT_FALSE(watcher_.holdsInhibitor());
    ASSERT_TRUE(waitUntil([&] { return logind_.released == 1; }));
}

TEST_F(SleepWatcherTest, AnInhibitorGrantedAfterTheRecordingEndedIsLetGo) {
    watcher_.recordingStarted();
    watcher_.recordingFinished();  // before logind answered
    ASSERT_TRUE(
        waitUntil([&] { return logind_.inhibitCalls.size() == 1 && logind_.released == 1; }));
    EXPECT_FALSE(watcher_.holdsInhibitor());
}

TEST_F(SleepWatcherTest, EachRecordingHoldsItsOwnInhibitor) {
    for (int recording = 1; recording <= 3; ++recording) {
        watcher_.recordingStarted();
        ASSERT_TRUE(waitUntil([&] { return watcher_.holdsInhibitor(); }));
        EXPECT_EQ(logind_.held(), 1);
        watcher_.recordingFinished();
        ASSERT_TRUE(waitUntil([&] { return logind_.released == recording; }));
    }
    EXPECT_EQ(logind_.inhibitCalls.size(), 3u);
}

TEST(SleepWatcherWithoutBus, DoesNothingAndReportsNothing) {
    int sleeps = 0;
    {
        LogindSleepWatcher watcher(
            QDBusConnection::connectToBus("unix:path=/nonexistent/system_bus",
                                          "vantorel-no-system-bus"),
            [&] { ++sleeps; });
        watcher.recordingStarted();
        drainMainThread();
        EXPECT_FALSE(watcher.holdsInhibitor());
        watcher.recordingFinished();
    }
    QDBusConnection::disconnectFromBus("vantorel-no-system-bus");
    EXPECT_EQ(sleeps, 0);
}

TEST(SleepWatcherWithoutLogind, ARecordingStillStartsAndFinishes) {
    PrivateBus bus;
    ASSERT_TRUE(bus.running());
    int sleeps = 0;
    LogindSleepWatcher watcher(bus.connect("vantorel"), [&] { ++sleeps; });
    watcher.recordingStarted();
    drainMainThread();
    watcher.recordingFinished();
    EXPECT_FALSE(watcher.holdsInhibitor());
    EXPECT_EQ(sleeps, 0);
}

// The sleep stop of the recording flow: the file is finished and saved while logind waits.
class SleepFlowTest : public FlowTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.running());
        ASSERT_TRUE(logind_.registered());
        FlowTest::SetUp();
        watcher_ = std::make_unique<LogindSleepWatcher>(bus_.connect("vantorel"), [this] {
            ++sleeps_;
            delegate_->machineWillSleep();
        });
        AppServices withWatcher = services();
        withWatcher.sleepGuard = watcher_.get();
        delegate_ = std::make_unique<AppDelegate>(std::move(withWatcher));
        delegate_->applicationDidFinishLaunching();
    }
    void TearDown() override {
        FlowTest::TearDown();
        watcher_.reset();
    }

    PrivateBus bus_;
    FakeLogind logind_{bus_.connect("logind")};
    std::unique_ptr<LogindSleepWatcher> watcher_;
    int sleeps_ = 0;
};

TEST_F(SleepFlowTest, SleepStopsTheRecordingAndReleasesLogindOnlyOnceTheFileIsSaved) {
    answerStopAtOnce_ = false;
    keepSavedFile();
    toRecording();
    ASSERT_TRUE(waitUntil([&] { return watcher_->holdsInhibitor(); }));

    logind_.prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return delegate_->phase() == Phase::stopping; }));
    drainMainThread();
    EXPECT_EQ(logind_.released, 0);

    answerStop(stopResult_);
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    ASSERT_TRUE(waitUntil([&] { return logind_.released == 1; }));
    EXPECT_EQ(notifier_.saved, std::vector<QString>{savedFile()});
    ASSERT_EQ(presenter_.alerts.size(), 1u);
    EXPECT_EQ(presenter_.alerts[0].title, "Recording stopped");
    EXPECT_EQ(presenter_.alerts[0].message, "The computer went to sleep.");
}

TEST_F(SleepFlowTest, SleepWhileSelectingChangesNothing) {
    toSelecting();
    logind_.prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return sleeps_ == 1; }));
    drainMainThread();
    EXPECT_EQ(delegate_->phase(), Phase::selecting);
    EXPECT_FALSE(log_.contains("overlay cancelled"));
    EXPECT_TRUE(logind_.inhibitCalls.empty());
    EXPECT_TRUE(presenter_.alerts.empty());
}

}  // namespace
}  // namespace vantorel::testing
