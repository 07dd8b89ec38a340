#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/xcb_handles.h"

namespace vantorel::bench {

enum class Workload {
    fullMotion,  // the whole region changes at every update (a scroll through a desktop)
    screencast,  // a few small changes a second, and the pointer gliding now and then
};

struct AnimatorSettings {
    std::string displayName;  // empty: $DISPLAY
    int x = 0;                // the animated region, in root pixels
    int y = 0;
    int width = 0;
    int height = 0;
    Workload workload = Workload::fullMotion;
    double updatesPerSecond = 60;  // full motion: region updates; screencast: pointer steps
};

// A client on a connection of its own that keeps the region moving: one override-redirect
// window over the region, drawn from a server-side picture so that the animation itself costs
// the X server copies only. Runs its own thread from construction to destruction.
class Animator {
  public:
    // Throws std::runtime_error when the server cannot be reached.
    explicit Animator(const AnimatorSettings& settings);
    ~Animator();

    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;

    // Updates that changed the screen, and updates that started late by more than one
    // interval. Any thread.
    int64_t updates() const { return updates_; }
    int64_t lateUpdates() const { return late_; }
    // When each update that changed the screen had been carried out by the server
    // (monotonic ns). Any thread.
    std::vector<int64_t> updateTimesNs() const;

  private:
    void createWindow();
    void uploadPicture();
    void run();
    // Each returns whether anything on screen changed.
    bool step(int64_t index);
    void typeCharacter(int64_t index);
    bool movePointer(int64_t index);
    void sync();

    AnimatorSettings settings_;
    XcbConnectionPtr connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    uint8_t depth_ = 24;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_pixmap_t picture_ = XCB_NONE;
    xcb_gcontext_t gc_ = XCB_NONE;
    xcb_gcontext_t ink_ = XCB_NONE;

    std::atomic<int64_t> updates_{0};
    std::atomic<int64_t> late_{0};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;               // guarded by mutex_
    std::vector<int64_t> updateTimesNs_;  // guarded by mutex_
    std::thread thread_;
};

}  // namespace vantorel::bench
