#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <cstdint>

namespace vantorel {

// Holds logind's "delay" sleep inhibitor while asked to, so that a stop caused by the machine
// going to sleep can finish the file before the machine goes down. Without a system bus or
// logind it holds nothing, and nothing waits for it. Main thread only.
class SleepInhibitor final : public QObject {
    Q_OBJECT

  public:
    explicit SleepInhibitor(QDBusConnection bus);

    // Asks logind for an inhibitor, or lets go of the one held (logind may then go on at once).
    void hold(bool wanted);

  private:
    void request();

    QDBusConnection bus_;
    bool wanted_ = false;
    // Counts the times an inhibitor was wanted, so that one granted too late is let go.
    uint64_t generation_ = 0;
    QDBusUnixFileDescriptor inhibitor_;
};

}  // namespace vantorel
