#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <functional>

namespace vantorel::testing {

// Runs the tasks already posted to the main thread, and those they post in turn.
inline void drainMainThread() {
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Processes events until `done` holds or `ceiling` passes; true when it held.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds ceiling = std::chrono::seconds(10)) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ceiling.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Lets time pass with the event loop turning.
inline void pause(std::chrono::milliseconds duration) {
    waitUntil([] { return false; }, duration);
}

}  // namespace vantorel::testing
