#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>

#include "event_loop.h"
#include "x11_keys.h"

// The built program, started twice in the headless session, seen from outside.
namespace vantorel::testing {
namespace {

QStringList visibleWindowsOf(qint64 pid) {
    QProcess search;
    search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
    search.waitForFinished(20000);
    return QString::fromUtf8(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

bool nameIsOwned() {
    return QDBusConnection::sessionBus()
        .interface()
        ->isServiceRegistered("org.vantorel.Vantorel")
        .value();
}

class SecondInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"))
            << "run inside scripts/headless-session.sh";
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
            << "run inside scripts/headless-session.sh";
        ASSERT_FALSE(nameIsOwned()) << "another Vantorel runs in this session";
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        first_.setProcessEnvironment(env_);
        first_.start(VANTOREL_BINARY, {});
        ASSERT_TRUE(first_.waitForStarted());
        ASSERT_TRUE(waitUntil(
            [&] { return nameIsOwned() && visibleWindowsOf(first_.processId()).size() == 1; },
            30000))
            << "the first instance shows its tray item";
    }
    void TearDown() override {
        if (first_.state() != QProcess::NotRunning) {
            first_.terminate();
            if (!first_.waitForFinished(10000)) {
                first_.kill();
                first_.waitForFinished(10000);
            }
        }
    }

    QTemporaryDir home_;
    QProcessEnvironment env_;
    QProcess first_;
};

TEST_F(SecondInstanceTest, ASecondStartSaysSoAndEndsAtOnceLeavingTheFirstWorking) {
    QProcess second;
    second.setProcessEnvironment(env_);
    second.start(VANTOREL_BINARY, {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(second.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, QStringList{"Vantorel is already running."});
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardOutput()).isEmpty());

    EXPECT_EQ(first_.state(), QProcess::Running);
    EXPECT_EQ(visibleWindowsOf(first_.processId()).size(), 1) << "the first one's tray item stays";
    EXPECT_TRUE(nameIsOwned());

    // The first one still has the shortcut: the toggle opens a window (the selection overlay,
    // or the alert of a build that cannot record).
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    EXPECT_TRUE(waitUntil([&] { return visibleWindowsOf(first_.processId()).size() >= 2; }, 30000));
}

TEST_F(SecondInstanceTest, OnceTheFirstHasEndedTheNextStartRuns) {
    first_.terminate();
    ASSERT_TRUE(first_.waitForFinished(10000));
    ASSERT_TRUE(waitUntil([] { return !nameIsOwned(); }));

    QProcess next;
    next.setProcessEnvironment(env_);
    next.start(VANTOREL_BINARY, {});
    ASSERT_TRUE(next.waitForStarted());
    EXPECT_TRUE(waitUntil(
        [&] { return nameIsOwned() && !visibleWindowsOf(next.processId()).isEmpty(); }, 30000));
    next.terminate();
    ASSERT_TRUE(next.waitForFinished(10000));
    EXPECT_EQ(next.exitCode(), 0);
}

}  // namespace
}  // namespace vantorel::testing
