#pragma once

#include <QDateTime>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace vantorel {

// A timer that fires every interval until it is released.
class RepeatingTimer {
  public:
    virtual ~RepeatingTimer() = default;
};

// Timed work on the main thread, and the wall clock. Main thread only.
class Scheduler {
  public:
    virtual ~Scheduler() = default;
    // Runs `task` once after `delay`, unless `context` is gone by then.
    virtual void after(std::chrono::milliseconds delay, QObject* context,
                       std::function<void()> task) = 0;
    // Runs `task` every `interval`, also while a menu is open, until the timer is released.
    virtual std::unique_ptr<RepeatingTimer> every(std::chrono::milliseconds interval,
                                                  std::function<void()> task) = 0;
    virtual QDateTime now() const = 0;
};

class QtScheduler final : public Scheduler {
  public:
    void after(std::chrono::milliseconds delay, QObject* context,
               std::function<void()> task) override;
    std::unique_ptr<RepeatingTimer> every(std::chrono::milliseconds interval,
                                          std::function<void()> task) override;
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace vantorel
