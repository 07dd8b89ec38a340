#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include "scene_window.h"

namespace vantorel::e2e {

// The scene helper program, shown under a region until the object goes.
class SceneProcess {
  public:
    SceneProcess(SceneMode mode, const QRect& region, int margin = 16);
    ~SceneProcess();
    SceneProcess(const SceneProcess&) = delete;
    SceneProcess& operator=(const SceneProcess&) = delete;

    // Waits until the band round the region is on screen.
    bool waitShown();
    void close();

  private:
    QProcess process_;
    QRect region_;
    int margin_;
};

// A sine tone played into the session's null sink until the object goes.
class TonePlayer {
  public:
    explicit TonePlayer(int frequency, int seconds = 40);
    ~TonePlayer();
    TonePlayer(const TonePlayer&) = delete;
    TonePlayer& operator=(const TonePlayer&) = delete;

    bool playing() const { return process_.state() == QProcess::Running; }

  private:
    QTemporaryDir dir_;
    QProcess process_;
};

// A tmpfs mounted for the life of the object (the tests run as root).
class TmpfsMount {
  public:
    TmpfsMount(const QString& options);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    QString error() const { return error_; }
    // Every file below the mount point.
    QStringList files() const;

  private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString error_;
};

// A file manager on the session bus that records the files it is asked to show.
class RecordingFileManager final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    RecordingFileManager(QObject* owner, QDBusConnection bus);
    ~RecordingFileManager() override;

    bool registered() const { return registered_; }
    QStringList shownItems;

  public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& startupId);
    void ShowFolders(const QStringList& uris, const QString& startupId);

  private:
    QDBusConnection bus_;
    bool registered_ = false;
};

}  // namespace vantorel::e2e
