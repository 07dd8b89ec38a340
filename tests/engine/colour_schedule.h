#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "color_window.h"
#include "platform/host_clock.h"

namespace vantorel::testing {

// One colour put on the screen, between two readings of the host clock: the server drew it
// after `before` and before `after`.
struct DrawnColour {
    uint32_t rgb = 0;
    MediaTime before;
    MediaTime after;
};

// Fills a window with known colours at known times. The first colour is drawn at once; the
// others follow one per `period` on a thread of the schedule's own once begin() is called.
class ColourSchedule {
  public:
    // Called on the owner's thread, which must not touch `window` while the schedule runs.
    ColourSchedule(ColorWindow& window, std::vector<uint32_t> colours,
                   std::chrono::milliseconds period);
    ~ColourSchedule();

    ColourSchedule(const ColourSchedule&) = delete;
    ColourSchedule& operator=(const ColourSchedule&) = delete;

    // Starts drawing the other colours. Called once, on the owner's thread.
    void begin();
    // Waits until every colour was drawn; false if that never happened. Any thread.
    bool waitUntilDrawn();
    // Every colour drawn so far, in order. Any thread.
    std::vector<DrawnColour> drawn() const;

    // The colour that was on the screen at host time `t`: absent when `t` lies within `slack`
    // of a change, or before the first colour. Any thread.
    std::optional<uint32_t> colourAt(const MediaTime& t, std::chrono::nanoseconds slack) const;

  private:
    void draw(uint32_t rgb);
    void run();

    ColorWindow& window_;
    const std::vector<uint32_t> colours_;
    const std::chrono::milliseconds period_;
    MonotonicClock clock_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DrawnColour> drawn_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vantorel::testing
