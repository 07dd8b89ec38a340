#include "session_helpers.h"

#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cmath>
#include <numbers>

#include "desktop.h"

namespace vantorel::e2e {

SceneProcess::SceneProcess(SceneMode mode, const QRect& region, int margin)
    : region_(region), margin_(margin) {
    const QString modeName = mode == SceneMode::noise   ? "noise"
                             : mode == SceneMode::clock ? "clock"
                                                        : "still";
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(VANTOREL_E2E_SCENE, {"--mode", modeName, "--rect",
                                        QString("%1,%2,%3,%4")
                                            .arg(region.x())
                                            .arg(region.y())
                                            .arg(region.width())
                                            .arg(region.height()),
                                        "--margin", QString::number(margin)});
}

SceneProcess::~SceneProcess() {
    close();
}

bool SceneProcess::waitShown() {
    const QRect band(region_.left() - margin_, region_.top() - margin_, margin_ / 2, margin_ / 2);
    return waitUntil(
        [&] {
            const QImage image = grabScreen(band);
            return !image.isNull() &&
                   colorDistance(image.pixel(1, 1), SceneWindow::bandColor().rgb()) < 10;
        },
        20s, 100ms);
}

void SceneProcess::close() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
}

namespace {

// A 48 kHz stereo 16-bit WAV file of a sine at half scale.
bool writeTone(const QString& path, int frequency, int seconds) {
    constexpr int kRate = 48000;
    constexpr int kChannels = 2;
    const quint32 frames = static_cast<quint32>(kRate * seconds);
    const quint32 dataBytes = frames * kChannels * 2;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(kChannels) << quint32(kRate)
        << quint32(kRate * kChannels * 2) << quint16(kChannels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (quint32 i = 0; i < frames; ++i) {
        const auto sample = static_cast<qint16>(
            16384 * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / kRate));
        out << sample << sample;
    }
    return out.status() == QDataStream::Ok;
}

}  // namespace

TonePlayer::TonePlayer(int frequency, int seconds) {
    const QString path = dir_.filePath("tone.wav");
    if (!writeTone(path, frequency, seconds)) {
        return;
    }
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    // A short latency: with the default buffer much of the tone never reaches the monitor.
    process_.start("paplay", {"--latency-msec=50", "-d", "vsink", path});
    process_.waitForStarted();
}

TonePlayer::~TonePlayer() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        process_.waitForFinished(10000);
    }
}

TmpfsMount::TmpfsMount(const QString& options) {
    const CommandResult mount =
        runCommand("mount", {"-t", "tmpfs", "-o", options, "tmpfs", dir_.path()});
    mounted_ = mount.ok();
    error_ = QString::fromLocal8Bit(mount.errors);
}

TmpfsMount::~TmpfsMount() {
    if (mounted_ && !runCommand("umount", {dir_.path()}).ok()) {
        runCommand("umount", {"-l", dir_.path()});
    }
}

QStringList TmpfsMount::files() const {
    QStringList found;
    QDirIterator it(dir_.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found.append(it.next());
    }
    return found;
}

namespace {
const QString kFileManagerName = "org.freedesktop.FileManager1";
const QString kFileManagerPath = "/org/freedesktop/FileManager1";
}  // namespace

RecordingFileManager::RecordingFileManager(QObject* owner, QDBusConnection bus)
    : QDBusAbstractAdaptor(owner), bus_(std::move(bus)) {
    registered_ = bus_.isConnected() && bus_.registerObject(kFileManagerPath, owner) &&
                  bus_.registerService(kFileManagerName);
}

RecordingFileManager::~RecordingFileManager() {
    if (registered_) {
        bus_.unregisterService(kFileManagerName);
        bus_.unregisterObject(kFileManagerPath);
    }
}

void RecordingFileManager::ShowItems(const QStringList& uris, const QString& /*startupId*/) {
    shownItems.append(uris);
}

void RecordingFileManager::ShowFolders(const QStringList& /*uris*/, const QString& /*startupId*/) {}

}  // namespace vantorel::e2e
