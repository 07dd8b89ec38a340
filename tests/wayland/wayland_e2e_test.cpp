#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "desktop_user.h"
#include "media_probe.h"
#include "region_scene.h"
#include "sound_player.h"
#include "tone_analysis.h"

// The built program on the Wayland desktop of scripts/wayland-session.sh: started and stopped
// with `vantorel --toggle` as a desktop shortcut would, the region dragged out with the
// compositor's own pointer, the screen shared by the real portal and PipeWire.
namespace vantorel::testing {
namespace {

using Clock = std::chrono::steady_clock;

const QRect kRegion(300, 300, 640, 360);
constexpr QRgb kFill = RegionScene::kFill;

// The program with a home and preferences of its own, on the session's bus (where the portal
// is), started by `vantorel --toggle` as a desktop shortcut would when it is not running yet.
class Program {
  public:
    explicit Program(const QJsonObject& preferences) {
        QDir().mkpath(dir_.filePath("config/Vantorel"));
        QFile file(dir_.filePath("config/Vantorel/preferences.json"));
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(preferences).toJson());
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir_.path());
        env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(VANTOREL_BINARY, {"--toggle"});
    }
    ~Program() {
        process_.kill();
        process_.waitForFinished();
    }

    // `vantorel <option>`; true when the running instance took it.
    bool command(const QString& option) {
        QProcess sender;
        sender.setProcessEnvironment(process_.processEnvironment());
        sender.start(VANTOREL_BINARY, {option});
        return sender.waitForFinished(20000) && sender.exitCode() == 0;
    }
    QJsonObject preferences() const {
        QFile file(dir_.filePath("config/Vantorel/preferences.json"));
        file.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    std::optional<QString> waitForRecording(int count) const {
        QJsonArray recents;
        waitUntil(
            [&] { return (recents = preferences()["recentRecordings"].toArray()).size() >= count; },
            30s);
        return recents.size() >= count ? std::optional(recents.first().toString()) : std::nullopt;
    }
    // Drags the region out in steps a hand would make, confirms it with Return, moves the pointer
    // away (headless sway draws it into every frame) and waits for the stop button.
    bool selectRegion() {
        if (!waitForWindow([](const QRect& r) { return r == QRect(0, 0, 1920, 1080); })) {
            return false;  // no overlay
        }
        pause(1s);  // XWayland's window becomes the compositor's surface a little later
        QStringList steps{"move", "300", "300", "sleep", "100", "press", "left"};
        for (int i = 1; i <= 16; ++i) {
            steps << "sleep"
                  << "30"
                  << "move" << QString::number(300 + 40 * i) << QString::number(300 + 45 * i / 2);
        }
        run("wayland-input", steps << "sleep"
                                   << "200"
                                   << "release"
                                   << "left");
        run("wtype", {"-k", "Return"});
        run("wayland-input", {"move", "1500", "950"});
        return waitForWindow([](const QRect& r) { return r.top() < 40 && r.height() < 60; });
    }
    std::string output() { return process_.readAll().toStdString(); }

  private:
    bool waitForWindow(const std::function<bool(const QRect&)>& wanted) const {
        return waitUntil(
            [&] {
                for (WindowId window : windowsOfProcess(process_.processId())) {
                    if (const std::optional<QRect> rect = windowRect(window);
                        rect && wanted(*rect)) {
                        return true;
                    }
                }
                return false;
            },
            30s);
    }

    QTemporaryDir dir_;
    QProcess process_;
};

// The portal back end's log says when it restores a consent and when a cast streams.
int countInPortalLog(const char* text) {
    QFile log(qEnvironmentVariable("WAYLAND_SESSION_PORTAL_LOG"));
    log.open(QIODevice::ReadOnly);
    return static_cast<int>(log.readAll().count(text));
}
constexpr const char* kStreaming = "stream state changed to \"streaming\"";

TEST(WaylandDesktop, ToggledFromTheCommandLineWithSoundAndConsentKeptForTheNextRecording) {
    ASSERT_TRUE(qEnvironmentVariableIsSet("WAYLAND_SESSION_PORTAL_LOG"))
        << "run in wayland-session.sh";
    const RegionScene scene(kRegion);
    SoundPlayer sound("", "vsink");
    ASSERT_TRUE(sound.play(440, 0.5f, 60, 0).has_value()) << sound.failure();
    Program program({{"recordSystemSound", true}, {"countdownSeconds", 0}, {"showsCursor", false}});
    const Clock::time_point returnAt = Clock::now();
    ASSERT_TRUE(program.selectRegion()) << program.output();
    ASSERT_TRUE(waitUntil([] { return countInPortalLog(kStreaming) > 0; }, 20s));  // the first cast
    const Clock::time_point recordingSeen = Clock::now();
    pause(4s);
    const Clock::time_point stopAt = Clock::now();
    ASSERT_TRUE(program.command("--toggle"));
    const std::optional<QString> path = program.waitForRecording(1);
    const Clock::time_point savedSeen = Clock::now();
    ASSERT_TRUE(path.has_value()) << program.output();

    const MediaProbe media(path->toStdString());
    const auto video = media.streams("video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].at("codec_name") + video[0].at("width") + video[0].at("height"),
              "h264640360");
    const double duration = media.duration().value_or(0);
    EXPECT_GE(duration, std::chrono::duration<double>(stopAt - recordingSeen).count() - 0.5);
    EXPECT_LE(duration, std::chrono::duration<double>(savedSeen - returnAt).count());
    const std::vector<float> heard = media.decodedSound();
    ASSERT_GT(heard.size(), 48000u);
    EXPECT_EQ(strongestFrequency(heard, 24000, heard.size() - 24000, 48000), 440);
    // The cut is exact, and neither the outline nor the stop button is in the picture.
    const auto frames = media.decodedFrames();
    ASSERT_GE(frames.size(), 2u);
    for (size_t i = 0; i < frames.size(); ++i) {
        const QImage frame = QImage(frames[i].data(), 640, 360, 640 * 3, QImage::Format_RGB888)
                                 .convertToFormat(QImage::Format_RGB32);
        const int unlike = countPixels(frame, [&](int x, int y) {
            const bool edge = x < 2 || y < 2 || x >= 638 || y >= 358;
            return edge && colorDistance(frame.pixel(x, y), kFill) > 40;
        });
        ASSERT_EQ(unlike, 0) << "frame " << i;
    }

    // The next recording is shared again without asking: the portal restores the consent.
    ASSERT_FALSE(program.preferences()["screenCastRestoreToken"].toString().isEmpty());
    const int restoresBefore = countInPortalLog("restore data available");
    ASSERT_TRUE(program.command("--start-selection"));
    ASSERT_TRUE(program.selectRegion());
    pause(1s);
    ASSERT_TRUE(program.command("--stop"));
    ASSERT_TRUE(program.waitForRecording(2).has_value()) << program.output();
    EXPECT_EQ(countInPortalLog("restore data available"), restoresBefore + 1);
}

// Last in the session: the portal back end is gone afterwards.
TEST(WaylandDesktop, ZRecordingIsSavedAndExplainedWhenThePortalBackEndGoesAway) {
    ASSERT_TRUE(qEnvironmentVariableIsSet("WAYLAND_SESSION_PORTAL_LOG"))
        << "run in wayland-session.sh";
    const RegionScene scene(kRegion);
    Program program(
        {{"recordSystemSound", false}, {"countdownSeconds", 0}, {"showsCursor", false}});
    const int streamed = countInPortalLog(kStreaming);
    ASSERT_TRUE(program.selectRegion()) << program.output();
    ASSERT_TRUE(waitUntil([&] { return countInPortalLog(kStreaming) > streamed; }, 20s));
    pause(2s);
    const QString owner =
        QString::fromUtf8(run("gdbus", {"call", "--session", "--dest", "org.freedesktop.DBus",
                                        "--object-path", "/org/freedesktop/DBus", "--method",
                                        "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                        "org.freedesktop.impl.portal.desktop.wlr"})
                              .value_or(""));  // "(uint32 1234,)"
    ASSERT_TRUE(run("kill", {owner.section(' ', 1).remove(QRegularExpression("\\D"))}));

    const std::optional<QString> path = program.waitForRecording(1);
    ASSERT_TRUE(path.has_value()) << program.output();
    std::optional<WindowId> alert;
    EXPECT_TRUE(
        waitUntil([&] { return (alert = windowTitled("Recording stopped")).has_value(); }, 20s));
    EXPECT_GE(MediaProbe(path->toStdString()).duration().value_or(0), 1.0);
}

}  // namespace
}  // namespace vantorel::testing
