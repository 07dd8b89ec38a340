#include "app/global_hot_key.h"

#include <xcb/xinput.h>

#include <QGuiApplication>

#include <array>
#include <cstdlib>

namespace vantorel {

namespace {

// Caps Lock and Num Lock change the state a press reports; the combination must work with
// either of them on, so each is grabbed too and ignored when matching.
constexpr uint16_t kLockModifiers = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
constexpr std::array<uint16_t, 4> kLockVariants = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                   XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
// The key-button state also carries pointer buttons, which play no part in a key combination.
constexpr uint16_t kModifierBits = 0xff;

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace

GlobalHotKey::GlobalHotKey() : connection_(qtConnection()) {
    if (connection_ == nullptr || xcb_connection_has_error(connection_) != 0) {
        connection_ = nullptr;
        return;
    }
    // Qt's connection talks to one X screen; the shortcut belongs to its root window.
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    grab();
    if (active()) {
        watchReleases();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

GlobalHotKey::~GlobalHotKey() {
    ungrab();
}

void GlobalHotKey::grab() {
    std::array<xcb_void_cookie_t, kLockVariants.size()> cookies{};
    for (size_t i = 0; i < kLockVariants.size(); ++i) {
        cookies[i] = xcb_grab_key_checked(connection_, 1, root_, kModifiers | kLockVariants[i],
                                          kKeyCode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    bool refused = false;
    for (size_t i = 0; i < cookies.size(); ++i) {
        // BadAccess: another client holds this variant.
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookies[i])) {
            std::free(error);
            refused = true;
        } else {
            grabbed_.push_back(kModifiers | kLockVariants[i]);
        }
    }
    // Half a shortcut (one that works only with Caps Lock on, say) would be more confusing than
    // none, so a partial grab is given back whole.
    if (refused) {
        ungrab();
    }
}

void GlobalHotKey::ungrab() {
    if (grabbed_.empty()) {
        return;
    }
    for (uint16_t modifiers : grabbed_) {
        xcb_ungrab_key(connection_, kKeyCode, root_, modifiers);
    }
    grabbed_.clear();
    // A round trip, so that the server has let go before this returns: a program started right
    // after this one ends finds the combination free.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

// A press taken from one of our own windows (below) may close that window before the key goes
// up, and the release then goes to whichever window gets the focus: without it the key would
// seem held for ever, and every later press be taken for auto-repeat. XInput's raw events reach
// the root window whatever the focus and whatever grabs are active. Qt has announced its XInput
// version on this connection already; without XInput the releases are only seen where they
// happen to arrive, as before.
void GlobalHotKey::watchReleases() {
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(connection_, &xcb_input_id);
    if (xinput == nullptr || xinput->present == 0) {
        return;
    }
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    xcb_generic_error_t* error = xcb_request_check(
        connection_, xcb_input_xi_select_events_checked(connection_, root_, 1, &mask.head));
    if (error == nullptr) {
        xinputOpcode_ = xinput->major_opcode;
    }
    std::free(error);
}

// The press normally arrives through the passive grab on the root window. While one of our own
// windows holds the keyboard (the selection overlay grabs it for Return and Escape), the server
// sends every key to that window instead and the passive grab never triggers; the combination is
// taken from there too, so that a second press still cancels the selection.
bool GlobalHotKey::isOurKey(const xcb_key_press_event_t& event) const {
    return event.detail == kKeyCode &&
           (event.state & kModifierBits & ~kLockModifiers) == kModifiers;
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message,
                                     qintptr* /*result*/) {
    if (!active() || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS) {
        const auto& press = *reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (isOurKey(press)) {
            keyDown(press.time);
            return true;
        }
    } else if (type == XCB_KEY_RELEASE) {
        const auto& release = *reinterpret_cast<const xcb_key_release_event_t*>(event);
        if (release.detail == kKeyCode) {
            // Only watched: a release of R in one of our own windows still belongs to it.
            keyUp(release.time);
        }
    } else if (type == XCB_GE_GENERIC && xinputOpcode_ != 0) {
        const auto& generic = *reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        const auto& raw = *reinterpret_cast<const xcb_input_raw_key_release_event_t*>(event);
        if (generic.extension == xinputOpcode_ && generic.event_type == XCB_INPUT_RAW_KEY_RELEASE &&
            raw.detail == kKeyCode) {
            keyUp(raw.time);
        }
    }
    return false;
}

void GlobalHotKey::keyUp(xcb_timestamp_t time) {
    keyDown_ = false;
    releasedAt_ = time;
}

void GlobalHotKey::keyDown(xcb_timestamp_t time) {
    // Holding the keys down makes the server repeat the press; one hold is one toggle. A client
    // that asked for detectable auto-repeat gets only the presses; any other gets each repeat as
    // a release and a press with the same time stamp.
    const bool repeat = keyDown_ || (releasedAt_ != XCB_CURRENT_TIME && time == releasedAt_);
    keyDown_ = true;
    if (repeat) {
        return;
    }
    // Reported after the event has been handled, behind the work already queued.
    QMetaObject::invokeMethod(this, &GlobalHotKey::pressed, Qt::QueuedConnection);
}

}  // namespace vantorel
