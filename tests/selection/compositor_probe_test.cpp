#include "selection/compositor_probe.h"

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace vantorel {
namespace {

// Plays the compositing manager: owns _NET_WM_CM_S<screen> through a window of its own
// connection for as long as it lives.
class FakeCompositor {
  public:
    FakeCompositor() : connection_(xcb_connect(nullptr, &screenNumber_)) {
        const xcb_setup_t* setup = xcb_get_setup(connection_.get());
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber_; ++i) {
            xcb_screen_next(&it);
        }
        window_ = xcb_generate_id(connection_.get());
        xcb_create_window(connection_.get(), XCB_COPY_FROM_PARENT, window_, it.data->root, 0, 0, 1,
                          1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber_);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection_.get(),
            xcb_intern_atom(connection_.get(), 0, static_cast<uint16_t>(name.size()), name.c_str()),
            nullptr);
        xcb_set_selection_owner(connection_.get(), window_, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        roundTrip();
    }

    // Destroying the owner window gives the selection up.
    ~FakeCompositor() {
        xcb_destroy_window(connection_.get(), window_);
        roundTrip();
    }

    FakeCompositor(const FakeCompositor&) = delete;
    FakeCompositor& operator=(const FakeCompositor&) = delete;

  private:
    // Everything sent so far has been carried out once a reply comes back.
    void roundTrip() {
        std::free(xcb_get_input_focus_reply(connection_.get(),
                                            xcb_get_input_focus(connection_.get()), nullptr));
    }

    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    int screenNumber_ = 0;
    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

TEST(CompositorProbeTest, FollowsTheSelectionOwner) {
    ASSERT_FALSE(compositorRunning()) << "the headless session starts no compositor";
    {
        FakeCompositor compositor;
        EXPECT_TRUE(compositorRunning());
    }
    // The owner window is gone, and with it the ownership.
    EXPECT_FALSE(compositorRunning());
}

}  // namespace
}  // namespace vantorel
