// An alert the program raises on its own while the user types in another program, on an X server
// of the test's own with a window manager that grants every activation (openbox) and one that
// prevents focus stealing (metacity).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>

#include "desktop_user.h"
#include "private_x_server.h"

namespace vantorel::testing {
namespace {

// A program on the private X server, ended with the test.
class Child : public QProcess {
  public:
    Child(const QString& program, const QStringList& arguments) {
        setStandardErrorFile(QProcess::nullDevice());
        start(program, arguments);
    }
    ~Child() override {
        kill();
        waitForFinished();
    }
};

class AlertFocus : public ::testing::TestWithParam<std::string> {};

// The alert appears while its program is busy for a moment, and in that moment the user presses a
// key in the other program. Return must still answer the alert, without a click on it.
TEST_P(AlertFocus, AnAlertRaisedWhileTheUserTypesElsewhereTakesTheKeyboard) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "run inside scripts/headless-session.sh";
    }
    PrivateXServer server(1280, 800);
    const QByteArray sessionDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", server.displayName().c_str());  // for the children and for xdotool
    const auto restore = qScopeGuard([&] { qputenv("DISPLAY", sessionDisplay); });

    Child windowManager(QString::fromStdString(GetParam()), {});
    ASSERT_TRUE(waitUntil(
        [] {
            return run("xprop", {"-root", "_NET_SUPPORTED"})
                .value_or("")
                .contains("_NET_ACTIVE_WINDOW");
        },
        10s));
    // Started first, so that all it knows of the user is older than the typing below.
    Child alert(ALERT_FOCUS_CHILD, {"alert"});
    ASSERT_TRUE(alert.waitForReadyRead(10000));
    Child editor(ALERT_FOCUS_CHILD, {"editor"});
    ASSERT_TRUE(waitUntil([] { return windowTitled("editor").has_value(); }, 10s));
    pressKeyIn(*windowTitled("editor"), "h");

    alert.write("raise\n");
    ASSERT_TRUE(waitUntil([] { return windowTitled("Recording stopped").has_value(); }, 10s));
    pressKeys({"x"});
    pause(300ms);
    alert.write("done\n");
    pause(500ms);
    pressKeys({"Return"});
    EXPECT_TRUE(alert.waitForFinished(5000)) << "Return went to the other program";
    EXPECT_EQ(alert.exitCode(), 0) << "the default button answers Return";
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, AlertFocus, ::testing::Values("openbox", "metacity"),
                         [](const auto& run) { return run.param; });

}  // namespace
}  // namespace vantorel::testing
