#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <cstdint>
#include <functional>

#include "app/flow_parts.h"

namespace vantorel {

// Tells when the machine is about to sleep (logind's PrepareForSleep on the system bus) and,
// while a recording runs, holds a "delay" sleep inhibitor so that the stop can finish the file
// before the machine goes down. Without a system bus or logind it does nothing. Main thread only.
class LogindSleepWatcher final : public QObject, public SleepGuard {
    Q_OBJECT

  public:
    // `willSleep` runs on the main thread each time logind announces sleep.
    LogindSleepWatcher(QDBusConnection bus, std::function<void()> willSleep);
    ~LogindSleepWatcher() override;

    void recordingStarted() override;
    void recordingFinished() override;

    // True while an inhibitor is held.
    bool holdsInhibitor() const { return inhibitor_.isValid(); }

  private Q_SLOTS:
    void prepareForSleep(bool start);

  private:
    void requestInhibitor();
    void inhibitorArrived(uint64_t forRecording, const QDBusUnixFileDescriptor& fd);

    QDBusConnection bus_;
    std::function<void()> willSleep_;
    bool recording_ = false;
    // Counts recordings, so that an inhibitor granted after its recording ended is let go.
    uint64_t recordingNumber_ = 0;
    QDBusUnixFileDescriptor inhibitor_;
};

}  // namespace vantorel
