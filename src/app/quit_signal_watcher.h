#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace vantorel {

// Turns SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl-C in a terminal) into quit requests on
// the main thread, so that a running recording is saved before the process ends.
// One instance at a time; main thread only.
class QuitSignalWatcher final : public QObject {
    Q_OBJECT

  public:
    QuitSignalWatcher();
    ~QuitSignalWatcher() override;

    QuitSignalWatcher(const QuitSignalWatcher&) = delete;
    QuitSignalWatcher& operator=(const QuitSignalWatcher&) = delete;

  signals:
    void quitRequested();

  private:
    void drain();

    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vantorel
