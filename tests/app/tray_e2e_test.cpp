#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

// Starts the built program on the session's X server, next to a window manager and a tray
// host, and looks at it from outside as a user's desktop would.
namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList visibleWindowsOf(qint64 pid) {
    return run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)})
        .split('\n', Qt::SkipEmptyParts);
}

QString parentOf(const QString& window) {
    const QString tree = run("xwininfo", {"-id", window, "-tree"});
    const QRegularExpressionMatch match =
        QRegularExpression("Parent window id: (0x[0-9a-f]+)").match(tree);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString rootWindow() {
    const QString info = run("xwininfo", {"-root"});
    const QRegularExpressionMatch match =
        QRegularExpression("Window id: (0x[0-9a-f]+)").match(info);
    return match.captured(1);
}

class TrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"))
            << "run inside scripts/headless-session.sh";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        program_.setProcessEnvironment(env);
        program_.setProcessChannelMode(QProcess::MergedChannels);
        program_.start(VANTOREL_BINARY, {});
        ASSERT_TRUE(program_.waitForStarted());
    }
    void TearDown() override {
        if (program_.state() != QProcess::NotRunning) {
            program_.terminate();
            program_.waitForFinished(10000);
        }
    }

    QTemporaryDir home_;
    QProcess program_;
};

TEST_F(TrayTest, TheTrayItemIsTheOnlyWindowAndSigtermEndsTheProgramCleanly) {
    QStringList windows;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000) {
        windows = visibleWindowsOf(program_.processId());
        if (!windows.isEmpty()) {
            break;
        }
        QThread::msleep(100);
    }
    ASSERT_EQ(windows.size(), 1) << "only the tray icon is shown";
    const QString parent = parentOf(QString("0x%1").arg(windows[0].toULongLong(), 0, 16));
    EXPECT_FALSE(parent.isEmpty());
    EXPECT_NE(parent, rootWindow())
        << "the icon is embedded in the tray host, not a top-level window";

    program_.terminate();  // SIGTERM: a quit request, answered at once while idle
    ASSERT_TRUE(program_.waitForFinished(10000));
    EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_.exitCode(), 0);
}

TEST(NoDisplay, TheProgramSaysItNeedsAnX11Session) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    program.setProcessEnvironment(env);
    program.start(VANTOREL_BINARY, {});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError())
                    .contains("Vantorel needs an X11 desktop session"));
}

}  // namespace
