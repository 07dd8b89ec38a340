#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "color_window.h"

namespace vantorel::testing {

// Repaints a window every `interval` on a thread of its own until it is destroyed, so that the
// region the window sits in never stands still.
class Repainter {
  public:
    // `paint` gets the window and the number of the repaint, from 0.
    using Paint = std::function<void(ColorWindow& window, int count)>;

    Repainter(ColorWindow& window, std::chrono::milliseconds interval, Paint paint);
    // Stops after the repaint under way. Called on the owner's thread.
    ~Repainter();

    Repainter(const Repainter&) = delete;
    Repainter& operator=(const Repainter&) = delete;

    // Alternates between two colours.
    static Paint toggling(uint32_t first, uint32_t second);
    // A fresh pattern of noise every time.
    static Paint noisy();

  private:
    void run();

    ColorWindow& window_;
    const std::chrono::milliseconds interval_;
    const Paint paint_;
    std::mutex mutex_;
    std::condition_variable stopRequested_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything above is set
};

}  // namespace vantorel::testing
