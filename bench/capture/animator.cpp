#include "animator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "desktop_picture.h"
#include "monotonic.h"

namespace vantorel::bench {

namespace {

using Clock = std::chrono::steady_clock;

// Full motion scrolls this many pixels per update: enough that every grab differs everywhere,
// little enough that an encoder's motion search can follow, as with a scrolled page.
constexpr int kScrollStep = 3;
// Screencast: a character typed every this many pointer steps (4 a second at 60 steps).
constexpr int kStepsPerCharacter = 15;
constexpr int kCharactersPerLine = 60;
// Screencast: the pointer glides for the first third of every three seconds and rests otherwise.
constexpr double kGlideCycleSeconds = 3.0;
constexpr double kGlideSeconds = 1.0;

}  // namespace

Animator::Animator(const AnimatorSettings& settings) : settings_(settings) {
    int screenNumber = 0;
    connection_.reset(xcb_connect(
        settings_.displayName.empty() ? nullptr : settings_.displayName.c_str(), &screenNumber));
    if (xcb_connection_has_error(connection_.get())) {
        throw std::runtime_error("animator: cannot connect to the X server");
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    root_ = screens.data->root;
    depth_ = screens.data->root_depth;
    createWindow();
    uploadPicture();
    xcb_copy_area(connection_.get(), picture_, window_, gc_, 0, 0, 0, 0,
                  static_cast<uint16_t>(settings_.width), static_cast<uint16_t>(settings_.height));
    xcb_warp_pointer(connection_.get(), XCB_NONE, root_, 0, 0, 0, 0,
                     static_cast<int16_t>(settings_.x + settings_.width / 2),
                     static_cast<int16_t>(settings_.y + settings_.height / 2));
    sync();
    thread_ = std::thread([this] { run(); });
}

Animator::~Animator() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    xcb_free_gc(connection_.get(), gc_);
    xcb_free_gc(connection_.get(), ink_);
    xcb_free_pixmap(connection_.get(), picture_);
    xcb_destroy_window(connection_.get(), window_);
    sync();
}

void Animator::createWindow() {
    xcb_connection_t* c = connection_.get();
    window_ = xcb_generate_id(c);
    // Override-redirect: the window manager neither moves nor decorates it, and it stays on top.
    const uint32_t values[] = {0, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, root_, static_cast<int16_t>(settings_.x),
                      static_cast<int16_t>(settings_.y), static_cast<uint16_t>(settings_.width),
                      static_cast<uint16_t>(settings_.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, window_);
    gc_ = xcb_generate_id(c);
    const uint32_t noExposures[] = {0};
    xcb_create_gc(c, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, noExposures);
    ink_ = xcb_generate_id(c);
    const uint32_t inkValues[] = {0x202830, 0};
    xcb_create_gc(c, ink_, window_, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, inkValues);
}

void Animator::uploadPicture() {
    xcb_connection_t* c = connection_.get();
    // Twice the region's height, so a scroll can run a whole region's height before it wraps.
    const int pictureHeight = 2 * settings_.height;
    picture_ = xcb_generate_id(c);
    xcb_create_pixmap(c, depth_, picture_, window_, static_cast<uint16_t>(settings_.width),
                      static_cast<uint16_t>(pictureHeight));
    const std::vector<uint32_t> pixels = desktopPicture(settings_.width, pictureHeight);
    const size_t rowBytes = static_cast<size_t>(settings_.width) * 4;
    const size_t requestBytes =
        std::min<size_t>(size_t{xcb_get_maximum_request_length(c)} * 4 - 64, 4u << 20);
    const int rowsPerStrip = std::max(1, static_cast<int>(requestBytes / rowBytes));
    for (int top = 0; top < pictureHeight; top += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, pictureHeight - top);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, picture_, gc_,
                      static_cast<uint16_t>(settings_.width), static_cast<uint16_t>(rows), 0,
                      static_cast<int16_t>(top), 0, depth_,
                      static_cast<uint32_t>(rowBytes * static_cast<size_t>(rows)),
                      reinterpret_cast<const uint8_t*>(pixels.data() +
                                                       static_cast<size_t>(top) * settings_.width));
    }
    sync();
}

void Animator::run() {
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / std::max(1.0, settings_.updatesPerSecond)));
    Clock::time_point deadline = Clock::now();
    for (int64_t index = 1;; ++index) {
        deadline += interval;
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, deadline, [this] { return stopping_; })) {
                return;
            }
        }
        if (Clock::now() - deadline > interval) {
            ++late_;
            deadline = Clock::now();  // catch up by dropping updates rather than bursting
        }
        if (!step(index)) {
            continue;
        }
        ++updates_;
        const int64_t done = monotonicNs();
        std::lock_guard lock(mutex_);
        updateTimesNs_.push_back(done);
    }
}

std::vector<int64_t> Animator::updateTimesNs() const {
    std::lock_guard lock(mutex_);
    return updateTimesNs_;
}

bool Animator::step(int64_t index) {
    bool changed = true;
    if (settings_.workload == Workload::fullMotion) {
        const int offset = static_cast<int>((index * kScrollStep) % settings_.height);
        xcb_copy_area(connection_.get(), picture_, window_, gc_, 0, static_cast<int16_t>(offset), 0,
                      0, static_cast<uint16_t>(settings_.width),
                      static_cast<uint16_t>(settings_.height));
    } else {
        const bool typed = index % kStepsPerCharacter == 0;
        if (typed) {
            typeCharacter(index / kStepsPerCharacter);
        }
        changed = movePointer(index) || typed;
    }
    // A round trip per update keeps the animation from queueing up ahead of the server.
    sync();
    return changed;
}

void Animator::typeCharacter(int64_t typed) {
    xcb_connection_t* c = connection_.get();
    const int column = static_cast<int>(typed % kCharactersPerLine);
    const int lineX = std::min(120, settings_.width / 8);
    const int lineY = std::min(160, settings_.height / 3);
    if (column == 0) {
        // A fresh line: put back the picture under it.
        xcb_copy_area(c, picture_, window_, gc_, static_cast<int16_t>(lineX),
                      static_cast<int16_t>(lineY), static_cast<int16_t>(lineX),
                      static_cast<int16_t>(lineY), kCharactersPerLine * 9, 14);
    }
    const xcb_rectangle_t glyph{static_cast<int16_t>(lineX + column * 9),
                                static_cast<int16_t>(lineY + 1 + (typed % 3)), 7,
                                static_cast<uint16_t>(11 - (typed % 3))};
    xcb_poly_fill_rectangle(c, window_, ink_, 1, &glyph);
}

bool Animator::movePointer(int64_t index) {
    const double seconds = static_cast<double>(index) / settings_.updatesPerSecond;
    const double phase = std::fmod(seconds, kGlideCycleSeconds);
    if (phase >= kGlideSeconds) {
        return false;
    }
    // An ellipse around the middle of the region, one lap per glide.
    const double angle = 2 * M_PI * phase / kGlideSeconds;
    const int x =
        settings_.x + settings_.width / 2 + static_cast<int>(std::cos(angle) * settings_.width / 3);
    const int y = settings_.y + settings_.height / 2 +
                  static_cast<int>(std::sin(angle) * settings_.height / 3);
    xcb_warp_pointer(connection_.get(), XCB_NONE, root_, 0, 0, 0, 0, static_cast<int16_t>(x),
                     static_cast<int16_t>(y));
    return true;
}

void Animator::sync() {
    XcbReply<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(
        connection_.get(), xcb_get_input_focus(connection_.get()), nullptr));
}

}  // namespace vantorel::bench
