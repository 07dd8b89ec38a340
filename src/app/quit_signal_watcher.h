#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace vantorel {

// Turns SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl-C in a terminal) into quit requests on
// the main thread, so that a running recording is saved before the process ends.
// One instance at a time; main thread only.
class QuitSignalWatcher final : public QObject {
    Q_OBJECT

  public:
    explicit QuitSignalWatcher(std::function<void()> onQuitRequest);
    ~QuitSignalWatcher() override;

    QuitSignalWatcher(const QuitSignalWatcher&) = delete;
    QuitSignalWatcher& operator=(const QuitSignalWatcher&) = delete;

  private:
    void drain();

    std::function<void()> onQuitRequest_;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vantorel
