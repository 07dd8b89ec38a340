#include <QAbstractNativeEventFilter>

#include "app/global_hot_key.h"
#include "desktop_user.h"
#include "flow_fixture.h"

// The shortcut on the session's X server, pressed with xdotool.
namespace vantorel::testing {
namespace {

constexpr uint8_t kR = GlobalHotKey::kKeyCode;
constexpr uint16_t kSuperShift = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;
constexpr uint16_t kLocks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                               XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

// Another X client that wants the same shortcut.
struct OtherProgram {
    OtherProgram() : x(xcb_connect(nullptr, nullptr)) {}
    ~OtherProgram() {
        // Let go and wait for the server: a disconnection alone is noticed only later.
        xcb_ungrab_key(x, XCB_GRAB_ANY, root, XCB_MOD_MASK_ANY);
        std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
        xcb_disconnect(x);
    }
    bool grab(uint16_t modifiers) {
        xcb_generic_error_t* error =
            xcb_request_check(x, xcb_grab_key_checked(x, 1, root, kSuperShift | modifiers, kR,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const bool granted = error == nullptr;
        std::free(error);
        return granted;
    }
    xcb_connection_t* x;
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
};

class HotKeyTest : public FlowTest {
  protected:
    std::unique_ptr<GlobalHotKey> makeHotKey() {
        auto hotKey = std::make_unique<GlobalHotKey>();
        QObject::connect(hotKey.get(), &GlobalHotKey::pressed, [this] { ++fired_; });
        return hotKey;
    }
    // How often `keys` fired the shortcut: a press of the shortcut follows them, and X delivers
    // one client's events in order, so once that one is in so are the others.
    int firesFor(const QStringList& keys, const QString& shortcut = "super+shift+r") {
        const int before = fired_;
        EXPECT_TRUE(run("xdotool", QStringList{"key"} + keys + QStringList{shortcut}).has_value());
        EXPECT_TRUE(waitUntil([&] { return fired_ > before; }));
        drainMainThread();
        return fired_ - before - 1;
    }

    int fired_ = 0;
};

TEST_F(HotKeyTest, OnlySuperShiftRFiresOnceWhateverTheLockKeys) {
    const auto hotKey = makeHotKey();
    ASSERT_TRUE(hotKey->active());
    const std::pair<QStringList, int> rows[] = {
        {{"super+shift+r"}, 1},
        {{"ctrl+shift+r", "shift+r", "super+r", "super+alt+shift+r", "r", "super+shift+t"}, 0},
        {{"Caps_Lock", "super+shift+r", "Caps_Lock"}, 1},
        {{"Num_Lock", "super+shift+r", "Num_Lock"}, 1},
        {{"Caps_Lock", "Num_Lock", "super+shift+r", "Num_Lock", "Caps_Lock"}, 1},
    };
    for (const auto& [keys, fires] : rows) {
        EXPECT_EQ(firesFor(keys), fires) << keys.join(' ').toStdString();
    }
}

TEST_F(HotKeyTest, TheKeyIsFoundByPositionWhateverTheLayoutTypes) {
    const auto hotKey = makeHotKey();
    // A layout that puts T where R is, and R where T is: the letter R fires nothing.
    ASSERT_TRUE(run("xmodmap", {"-e", "keycode 27 = t T", "-e", "keycode 28 = r R"}));
    const bool swapped = run("xdotool", {"key", "super+shift+r", "super+shift+t"}) &&
                         waitUntil([&] { return fired_ > 0; });
    run("xmodmap", {"-e", "keycode 27 = r R", "-e", "keycode 28 = t T"});
    EXPECT_TRUE(swapped);
    drainMainThread();
    EXPECT_EQ(fired_, 1);
}

// Counts every press of the R key position that reaches the program, repeats included.
struct RawPresses final : QAbstractNativeEventFilter {
    RawPresses() { QCoreApplication::instance()->installNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_key_press_event_t*>(message);
        count += (event->response_type & 0x7f) == XCB_KEY_PRESS && event->detail == kR ? 1 : 0;
        return false;
    }
    int count = 0;
};

TEST_F(HotKeyTest, HoldingTheKeysDownIsOnePress) {
    const auto hotKey = makeHotKey();
    const RawPresses presses;  // installed last, so it sees the presses first
    ASSERT_TRUE(run("xdotool", {"keydown", "super+shift+r"}));
    // Held until the server's auto-repeat has sent the press again, twice.
    const bool repeated = waitUntil([&] { return presses.count >= 3; });
    ASSERT_TRUE(run("xdotool", {"keyup", "r", "keyup", "super+shift"}));
    ASSERT_TRUE(repeated) << "the X server did not auto-repeat";
    EXPECT_EQ(firesFor({}), 0);
    EXPECT_EQ(fired_, 2) << "the hold, then the press after it";
}

// Half a shortcut would confuse more than none: taken by another program, even in part, it is
// left to that program whole, and it is free again once this program lets go of it.
TEST_F(HotKeyTest, AShortcutHeldByAnotherProgramIsLeftToIt) {
    for (const uint16_t held : {kLocks[0], kLocks[1]}) {
        OtherProgram other;
        ASSERT_TRUE(other.grab(held));
        const auto hotKey = makeHotKey();
        EXPECT_FALSE(hotKey->active());
        for (const uint16_t variant : kLocks) {
            EXPECT_TRUE(variant == held || other.grab(variant)) << "given back: " << variant;
        }
    }
    makeHotKey().reset();
    OtherProgram next;
    for (const uint16_t variant : kLocks) {
        EXPECT_TRUE(next.grab(variant)) << "free once ours is gone";
    }
}

}  // namespace
}  // namespace vantorel::testing
