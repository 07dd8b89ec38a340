#pragma once

#include <QDBusConnection>
#include <QObject>

namespace vantorel {

// Tells when the machine is about to sleep: logind's PrepareForSleep(true) on the system bus.
// Without a system bus or logind it never does. Main thread only.
class LogindSleepWatcher final : public QObject {
    Q_OBJECT

  public:
    explicit LogindSleepWatcher(QDBusConnection bus);
    ~LogindSleepWatcher() override;

    LogindSleepWatcher(const LogindSleepWatcher&) = delete;
    LogindSleepWatcher& operator=(const LogindSleepWatcher&) = delete;

  signals:
    void preparingForSleep();

  private Q_SLOTS:
    void prepareForSleep(bool start);

  private:
    QDBusConnection bus_;
};

}  // namespace vantorel
