#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QUrl>

#include "alert_reader.h"
#include "gtest_qt_printing.h"
#include "media_file.h"
#include "screen_checks.h"
#include "session_helpers.h"
#include "user_steps.h"

// A whole recording from the tray menu to the saved file, through the program's real windows,
// its X11 capture, its FFmpeg writer and PulseAudio, with a scene of another program under the
// region and a tone playing into the session's sound output.
namespace vantorel::e2e {
namespace {

const QRect kRegion(300, 300, 640, 360);
constexpr int kToneHz = 440;

struct SoundCase {
    const char* name;
    bool recordSystemSound;
};

class RecordingTest : public ::testing::TestWithParam<SoundCase> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"))
            << "run inside scripts/headless-session.sh";
    }
};

// Where the stop pill's red capsule is, from a grab of the top of the screen.
std::optional<QRect> redCapsule(const QRect& strip) {
    const QImage image = grabScreen(strip);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isOutlineRed(image.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box.isEmpty() ? std::nullopt : std::optional<QRect>(box.translated(strip.topLeft()));
}

TEST_P(RecordingTest, RecordsTheDraggedRegionAndListsTheFileAmongTheRecents) {
    const SoundCase sound = GetParam();
    SceneProcess scene(SceneMode::still, kRegion);
    ASSERT_TRUE(scene.waitShown());
    TonePlayer tone(kToneHz);
    ASSERT_TRUE(tone.playing());

    VantorelInstance program({{"recordSystemSound", sound.recordSystemSound},
                              {"countdownSeconds", 3},
                              {"showsCursor", false}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();
    QObject fileManagerOwner;
    auto* fileManager = new RecordingFileManager(&fileManagerOwner, program.bus());
    ASSERT_TRUE(fileManager->registered());
    const QDateTime wallBefore = QDateTime::currentDateTime();

    // Select and confirm.
    ASSERT_TRUE(openOverlay(program));
    dragRegion(kRegion);
    const Clock::time_point returnAt = confirmWithReturn();
    moveMouse(QPoint(1400, 950));  // off the region and its outline

    // The countdown: a dark circle with a white 3 in the middle of the region, the region's
    // corners left as they were.
    CountdownReading countdown;
    ASSERT_TRUE(waitUntil(
        [&] {
            countdown = readCountdown(grabScreen(kRegion), SceneWindow::fillColor());
            return countdown.darkCentre && countdown.digitPixels > 200;
        },
        10s, 20ms))
        << "no countdown circle in the region";
    EXPECT_EQ(countdown.digit, 3) << "the count starts at 3";
    EXPECT_TRUE(countdown.cornersShowScene) << "the countdown covers only its circle";

    // Recording: the red outline just outside the region and the pill at the top of its screen.
    const QRect around = kRegion.adjusted(-8, -8, 8, 8);
    ASSERT_TRUE(waitUntil([&] { return outlineHugsRegion(grabScreen(around), 8); }, 20s, 100ms))
        << "no red outline 3 to 1 pixels outside the region";
    const std::optional<QRect> pill = waitForPill(program, 10s);
    ASSERT_TRUE(pill.has_value());
    EXPECT_EQ(pill->top(), kScreenA.top() + 6);
    EXPECT_NEAR(pill->center().x(), kScreenA.center().x(), 1);
    const std::optional<QRect> capsule = redCapsule(QRect(kScreenA.center().x() - 200, 0, 400, 60));
    ASSERT_TRUE(capsule.has_value()) << "the pill is red";
    EXPECT_TRUE(pill->contains(*capsule));
    EXPECT_NEAR(capsule->center().x(), kScreenA.center().x(), 2);

    ASSERT_TRUE(waitUntil([&] { return trayShowsRecording(program); }, 20s, 50ms))
        << "the tray icon never turned to the red dot";
    const Clock::time_point startSeen = Clock::now();

    pause(3s);
    const Clock::time_point stopClicked = Clock::now();
    click(pill->center());

    const std::optional<QString> path = waitForRecent(program, 60s);
    const Clock::time_point savedSeen = Clock::now();
    ASSERT_TRUE(path.has_value()) << program.output().toStdString();
    EXPECT_TRUE(program.windows().size() <= 1) << "outline and pill are gone (an alert may show)";
    scene.close();  // it sits above managed windows, and the alerts come up in the middle

    // The file: its name and folder.
    const QFileInfo file(*path);
    EXPECT_EQ(file.absolutePath(), program.videosFolder());
    const QRegularExpressionMatch name =
        QRegularExpression(R"(^Screen Recording (\d{4}-\d{2}-\d{2} at \d{2}\.\d{2}\.\d{2})\.mp4$)")
            .match(file.fileName());
    ASSERT_TRUE(name.hasMatch()) << file.fileName().toStdString();
    const QDateTime named = QDateTime::fromString(name.captured(1), "yyyy-MM-dd 'at' HH.mm.ss");
    EXPECT_GE(named, wallBefore.addSecs(-1));
    EXPECT_LE(named, QDateTime::currentDateTime());

    // No notification server answers on the program's bus, so a "Saved" alert names the file.
    std::optional<AlertReader> saved = AlertReader::waitFor("Saved", 20s);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->texts(), (QStringList{"Saved", file.fileName()}));
    saved->pressKey("Escape");  // "OK"
    ASSERT_TRUE(waitUntil([&] { return saved->gone(); }, 10s));

    // What the file holds.
    const std::optional<MediaFile> media = MediaFile::open(*path);
    ASSERT_TRUE(media.has_value());
    const std::optional<StreamInfo> video = media->stream("video");
    ASSERT_TRUE(video.has_value());
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(video->width, kRegion.width());
    EXPECT_EQ(video->height, kRegion.height());
    // The recording ran at least from the red dot to the click, and at most from the end of the
    // countdown (3 × 1 s and 2 × 0.2 s after Return) to the moment the file was listed.
    const double shortest = secondsBetween(startSeen, stopClicked) - 0.25;
    const double longest = secondsBetween(returnAt, savedSeen) - 3.4;
    EXPECT_GE(media->duration(), shortest);
    EXPECT_LE(media->duration(), longest);

    if (sound.recordSystemSound) {
        const std::optional<StreamInfo> audio = media->stream("audio");
        ASSERT_TRUE(audio.has_value());
        EXPECT_EQ(audio->codec, "aac");
        EXPECT_EQ(audio->sampleRate, 48000);
        EXPECT_EQ(audio->channels, 2);
        const ToneReading heard =
            readTone(media->monoSamples(), 48000, 0.5, media->duration() - 0.5);
        EXPECT_GT(heard.rms, 0.1) << "the tone is in the sound track";
        EXPECT_NEAR(heard.frequency, kToneHz, 20);
    } else {
        EXPECT_EQ(media->streamCount("audio"), 0);
    }

    // The outline and the pill lie outside the region: no frame shows them, and every frame's
    // edge is the scene's fill, so the region was cut exactly.
    const std::vector<QImage> frames = media->frames();
    ASSERT_GE(frames.size(), 10u);
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(redPixelsAtEdges(frames[i], 4), 0) << "frame " << i;
        ASSERT_EQ(pixelsAtEdgesUnlike(frames[i], SceneWindow::fillColor(), 40, 2), 0)
            << "frame " << i;
    }

    // The recents in the tray menu: hovering "Recent Recordings" opens a submenu with one item
    // as wide as the file's name; choosing it shows that file in the file manager.
    const std::optional<QRect> popup = program.openTrayMenu();
    ASSERT_TRUE(popup.has_value());
    const QList<int> rows = program.menuRows(*popup);
    ASSERT_GE(rows.size(), 2);
    const QList<WindowId> menus = program.windows();
    moveMouse(QPoint(popup->left() + 60, rows[1]));
    std::optional<QRect> submenu;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (WindowId window : program.windows()) {
                if (!menus.contains(window)) {
                    submenu = windowRect(window);
                }
            }
            return submenu.has_value();
        },
        10s));
    pause(300ms);  // painted
    const QImage submenuImage = grabScreen(*submenu);
    const std::optional<QRect> ink =
        inkExtent(submenuImage.copy(submenuImage.rect().adjusted(3, 3, -3, -3)),
                  submenuImage.pixel(6, submenuImage.height() / 2), 90);
    ASSERT_TRUE(ink.has_value());
    const int expectedWidth =
        QFontMetrics(QApplication::font("QMenu")).horizontalAdvance(file.fileName());
    EXPECT_NEAR(ink->width(), expectedWidth, 8) << "the item reads the file's name";
    EXPECT_LT(ink->height(), 30) << "one item";
    click(QPoint(submenu->left() + 3 + ink->center().x(), submenu->top() + 3 + ink->center().y()));
    ASSERT_TRUE(waitUntil([&] { return !fileManager->shownItems.isEmpty(); }, 10s));
    EXPECT_EQ(fileManager->shownItems, QStringList{QUrl::fromLocalFile(*path).toString()});

    EXPECT_TRUE(program.stop());
}

// A whole screen is recorded: the stop button is put where the recording does not look (the
// other screen here), since an X11 grab would show any window over the region.
TEST(FullScreenRecording, NoFrameShowsTheStopButton) {
    SceneProcess scene(SceneMode::still, kRegion);  // its blinking square keeps frames coming
    ASSERT_TRUE(scene.waitShown());
    VantorelInstance program({{"countdownSeconds", 0}, {"showsCursor", false}});
    ASSERT_TRUE(program.start()) << program.output().toStdString();
    ASSERT_TRUE(openOverlay(program));
    dragRegion(kScreenA);
    confirmWithReturn();
    const std::optional<QRect> pill = waitForPill(program, 10s);
    ASSERT_TRUE(pill.has_value());
    EXPECT_TRUE(kScreenB.contains(*pill));
    pause(2s);
    click(pill->center());
    const std::optional<QString> path = waitForRecent(program, 60s);
    ASSERT_TRUE(path.has_value()) << program.output().toStdString();
    scene.close();
    if (std::optional<AlertReader> saved = AlertReader::waitFor("Saved", 20s)) {
        saved->pressKey("Escape");
    }

    const std::optional<MediaFile> media = MediaFile::open(*path);
    ASSERT_TRUE(media.has_value());
    ASSERT_EQ(media->stream("video")->width, kScreenA.width());
    // The tray icon's red dot is on this screen too, in the panel, as a recording should show.
    const QRect tray = program.trayIcon().value_or(QRect()).adjusted(-2, -2, 2, 2);
    const std::vector<QImage> frames = media->frames(4);
    ASSERT_GE(frames.size(), 5u);
    for (size_t i = 0; i < frames.size(); ++i) {
        int red = 0;
        for (int y = 0; y < frames[i].height(); ++y) {
            for (int x = 0; x < frames[i].width(); ++x) {
                red += isOutlineRed(frames[i].pixel(x, y)) && !tray.contains(x, y) ? 1 : 0;
            }
        }
        ASSERT_EQ(red, 0) << "frame " << i * 4;
    }
    EXPECT_TRUE(program.stop());
}

INSTANTIATE_TEST_SUITE_P(Sound, RecordingTest,
                         ::testing::Values(SoundCase{"WithSystemSound", true},
                                           SoundCase{"WithoutSystemSound", false}),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace vantorel::e2e
