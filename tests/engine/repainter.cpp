#include "repainter.h"

#include <utility>

namespace vantorel::testing {

Repainter::Repainter(ColorWindow& window, std::chrono::milliseconds interval, Paint paint)
    : window_(window), interval_(interval), paint_(std::move(paint)), thread_([this] { run(); }) {}

Repainter::~Repainter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopRequested_.notify_all();
    thread_.join();
}

Repainter::Paint Repainter::toggling(uint32_t first, uint32_t second) {
    return [first, second](ColorWindow& window, int count) {
        window.fill(count % 2 == 0 ? first : second);
    };
}

Repainter::Paint Repainter::noisy() {
    return [](ColorWindow& window, int count) { window.noise(static_cast<uint32_t>(count)); };
}

void Repainter::run() {
    auto next = std::chrono::steady_clock::now();
    for (int count = 0;; ++count) {
        paint_(window_, count);
        next += interval_;
        std::unique_lock lock(mutex_);
        // Paced by the clock, and woken at once for the stop.
        if (stopRequested_.wait_until(lock, next, [this] { return stopping_; })) {
            return;
        }
    }
}

}  // namespace vantorel::testing
