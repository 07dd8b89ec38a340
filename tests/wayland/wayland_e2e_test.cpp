#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "color_window.h"
#include "desktop_user.h"
#include "media_probe.h"
#include "sound_player.h"
#include "tone_analysis.h"

// The built program on the Wayland desktop of scripts/wayland-session.sh: started and stopped
// with `vantorel --toggle` as a desktop shortcut would, the region dragged out with the
// compositor's own pointer, the screen shared by the real portal and PipeWire.
namespace vantorel::testing {
namespace {

using Clock = std::chrono::steady_clock;

const QRect kRegion(300, 300, 640, 360);
constexpr QRgb kFill = 0xff6ea0e6;

// Another program's windows (through XWayland): a band round the region and a fill inside it
// with a square that blinks, so that the compositor keeps sending frames.
class Scene {
  public:
    Scene()
        : band_("", kRegion.x() - 16, kRegion.y() - 16, kRegion.width() + 32,
                kRegion.height() + 32),
          fill_("", kRegion.x(), kRegion.y(), kRegion.width(), kRegion.height()) {
        band_.fill(0x28c83c);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            fill_.fill(kFill & 0xffffff);
            if (++ticks_ % 2 == 0) {
                fill_.fill(0x203040, 20, 150, 40, 40);
            }
        });
        timer_.start(100);
    }

  private:
    ColorWindow band_;
    ColorWindow fill_;
    QTimer timer_;
    int ticks_ = 0;
};

// The program with a home and preferences of its own, on the session's bus (where the portal is),
// started by `vantorel --toggle` as a desktop shortcut would when it is not running yet.
class Program {
  public:
    explicit Program(const QJsonObject& preferences) {
        QDir().mkpath(dir_.filePath("config/Vantorel"));
        QFile file(prefsPath());
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
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }

    // `vantorel <option>` as a desktop shortcut runs it; true when the instance took it.
    bool command(const QString& option) {
        QProcess sender;
        sender.setProcessEnvironment(process_.processEnvironment());
        sender.start(VANTOREL_BINARY, {option});
        return sender.waitForFinished(20000) && sender.exitCode() == 0;
    }
    QJsonObject preferences() const {
        QFile file(prefsPath());
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
    bool showsSmallWindow() const {  // the stop button along the top of the monitor
        for (WindowId window : windowsOfProcess(process_.processId())) {
            const std::optional<QRect> rect = windowRect(window);
            if (rect && rect->top() < 40 && rect->height() < 60 && rect->width() < 200) {
                return true;
            }
        }
        return false;
    }
    QString output() { return QString::fromLocal8Bit(process_.readAll()); }

  private:
    QString prefsPath() const { return dir_.filePath("config/Vantorel/preferences.json"); }

    QTemporaryDir dir_;
    QProcess process_;
};

// Drags the region out with the compositor's pointer, in steps a hand would make, confirms it
// with the keyboard and moves the pointer away (headless sway draws it into every frame).
void selectRegion() {
    QStringList steps{"move", "300", "300", "sleep", "100", "press", "left", "sleep", "100"};
    for (int i = 1; i <= 16; ++i) {
        steps << "move" << QString::number(kRegion.x() + kRegion.width() * i / 16)
              << QString::number(kRegion.y() + kRegion.height() * i / 16) << "sleep"
              << "30";
    }
    run("wayland-input", steps << "sleep"
                               << "200"
                               << "release"
                               << "left");
    run("wtype", {"-k", "Return"});
    run("wayland-input", {"move", "1500", "950"});
}

bool dismissAlert(const QString& title) {
    std::optional<WindowId> alert;
    if (!waitUntil([&] { return (alert = windowTitled(title)).has_value(); }, 20s)) {
        return false;
    }
    pressKeyIn(*alert, "Escape");
    return waitUntil([&] { return !windowTitled(title); }, 10s);
}

int restoresInPortalLog() {
    QFile log(qEnvironmentVariable("WAYLAND_SESSION_PORTAL_LOG"));
    log.open(QIODevice::ReadOnly);
    return static_cast<int>(log.readAll().count("restore data available"));
}

QImage frameImage(const std::vector<unsigned char>& rgb) {
    return QImage(rgb.data(), kRegion.width(), kRegion.height(), kRegion.width() * 3,
                  QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

class WaylandDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("WAYLAND_SESSION_PORTAL_LOG"))
            << "run inside scripts/wayland-session.sh";
    }
};

TEST_F(WaylandDesktop, ToggledFromTheCommandLineWithSoundAndConsentKeptForTheNextRecording) {
    std::optional<Scene> scene(std::in_place);
    SoundPlayer sound("", "vsink");
    ASSERT_EQ(sound.failure(), "");
    ASSERT_TRUE(sound.play(440, 0.5f, 60, 0).has_value());
    Program program({{"recordSystemSound", true}, {"countdownSeconds", 0}, {"showsCursor", false}});
    pause(2s);  // the overlay maps
    const Clock::time_point returnAt = Clock::now();
    selectRegion();
    ASSERT_TRUE(waitUntil([&] { return program.showsSmallWindow(); }, 20s));
    const Clock::time_point recordingSeen = Clock::now();
    pause(4s);
    const Clock::time_point stopAt = Clock::now();
    ASSERT_TRUE(program.command("--toggle"));
    const std::optional<QString> path = program.waitForRecording(1);
    const Clock::time_point savedSeen = Clock::now();
    ASSERT_TRUE(path.has_value()) << program.output().toStdString();

    const MediaProbe media(path->toStdString());
    const auto video = media.streams("video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].at("codec_name"), "h264");
    EXPECT_EQ(video[0].at("width"), "640");
    EXPECT_EQ(video[0].at("height"), "360");
    const double duration = media.duration().value_or(0);
    EXPECT_GE(duration, std::chrono::duration<double>(stopAt - recordingSeen).count() - 0.5);
    EXPECT_LE(duration, std::chrono::duration<double>(savedSeen - returnAt).count());
    const std::vector<float> heard = media.decodedSound();
    ASSERT_GT(heard.size(), 48000u);
    EXPECT_EQ(strongestFrequency(heard, 24000, heard.size() - 24000, 48000), 440);
    // The cut is exact, and neither the outline nor the stop button is in the picture.
    const auto frames = media.decodedFrames();
    ASSERT_GE(frames.size(), 10u);
    for (size_t i = 0; i < frames.size(); ++i) {
        const QImage frame = frameImage(frames[i]);
        const int unlike = countPixels(frame, [&](int x, int y) {
            const bool edge = x < 2 || y < 2 || x >= frame.width() - 2 || y >= frame.height() - 2;
            return edge && colorDistance(frame.pixel(x, y), kFill) > 40;
        });
        ASSERT_EQ(unlike, 0) << "frame " << i;
    }

    // The next recording is shared again without asking: the portal restores the consent.
    const QString token = program.preferences()["screenCastRestoreToken"].toString();
    ASSERT_FALSE(token.isEmpty());
    const int restoresBefore = restoresInPortalLog();
    ASSERT_TRUE(program.command("--start-selection"));
    pause(1s);
    selectRegion();
    ASSERT_TRUE(waitUntil([&] { return program.showsSmallWindow(); }, 20s));
    pause(1s);
    ASSERT_TRUE(program.command("--stop"));
    ASSERT_TRUE(program.waitForRecording(2).has_value()) << program.output().toStdString();
    EXPECT_EQ(restoresInPortalLog(), restoresBefore + 1);
}

// Last in the session: the portal back end is gone afterwards.
TEST_F(WaylandDesktop, ZRecordingIsSavedAndExplainedWhenThePortalBackEndGoesAway) {
    const Scene scene;
    Program program(
        {{"recordSystemSound", false}, {"countdownSeconds", 0}, {"showsCursor", false}});
    pause(2s);
    selectRegion();
    ASSERT_TRUE(waitUntil([&] { return program.showsSmallWindow(); }, 20s));
    pause(2s);
    const std::optional<QByteArray> owner =
        run("gdbus",
            {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.GetConnectionUnixProcessID",
             "org.freedesktop.impl.portal.desktop.wlr"});
    ASSERT_TRUE(owner.has_value());
    const qint64 pid =
        QString::fromUtf8(*owner).section(' ', 1).remove(',').remove(')').toLongLong();
    ASSERT_GT(pid, 0) << owner->toStdString();
    ASSERT_TRUE(run("kill", {QString::number(pid)}).has_value());

    const std::optional<QString> path = program.waitForRecording(1);
    ASSERT_TRUE(path.has_value()) << program.output().toStdString();
    EXPECT_TRUE(dismissAlert("Recording stopped"));
    EXPECT_GE(MediaProbe(path->toStdString()).duration().value_or(0), 1.5);
}

}  // namespace
}  // namespace vantorel::testing
