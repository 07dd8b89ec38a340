#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace vantorel::testing {

// Runs the tasks already posted to the main thread, and those they post in turn.
inline void drainMainThread() {
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Processes events until `done` holds or `timeoutMs` passes; true when it held.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

}  // namespace vantorel::testing
