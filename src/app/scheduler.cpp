#include "app/scheduler.h"

#include <QTimer>

namespace vantorel {

namespace {

class QtRepeatingTimer final : public RepeatingTimer {
  public:
    QtRepeatingTimer(std::chrono::milliseconds interval, std::function<void()> task) {
        // Precise, so that a one-second tick never lands twice within the same second.
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(interval);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(task));
        timer_.start();
    }

  private:
    QTimer timer_;
};

}  // namespace

void QtScheduler::after(std::chrono::milliseconds delay, QObject* context,
                        std::function<void()> task) {
    QTimer::singleShot(delay, Qt::PreciseTimer, context, std::move(task));
}

std::unique_ptr<RepeatingTimer> QtScheduler::every(std::chrono::milliseconds interval,
                                                   std::function<void()> task) {
    return std::make_unique<QtRepeatingTimer>(interval, std::move(task));
}

}  // namespace vantorel
