#include "x11_keys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>

#include <cstdlib>

#include "event_loop.h"

namespace vantorel::testing {

namespace {

constexpr xcb_keycode_t kSentinelKey = 96;  // F12 on the evdev keymap

xcb_window_t firstRoot(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

bool grab(xcb_connection_t* connection, xcb_window_t root, uint8_t keycode, uint16_t modifiers) {
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_grab_key_checked(connection, 1, root, modifiers, keycode,
                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool granted = error == nullptr;
    std::free(error);
    return granted;
}

}  // namespace

void syncWithServer(xcb_connection_t* connection) {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

void syncQtConnection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr) {
        syncWithServer(x11->connection());
    }
}

bool xdotool(const QStringList& arguments) {
    QProcess process;
    process.start("xdotool", arguments);
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool lockIsOn(const QString& lockName) {
    QProcess process;
    process.start("xset", {"q"});
    process.waitForFinished(20000);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const qsizetype at = out.indexOf(lockName + ":");
    return at >= 0 && out.mid(at + lockName.size() + 1).trimmed().startsWith("on");
}

LocksOn::LocksOn(QStringList keys) : keys_(std::move(keys)) {
    for (const QString& key : keys_) {
        xdotool({"key", key});
    }
}

LocksOn::~LocksOn() {
    for (const QString& key : keys_) {
        xdotool({"key", key});
    }
}

KeySentinel::KeySentinel() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    connection_ = x11 != nullptr ? x11->connection() : nullptr;
    if (connection_ == nullptr) {
        return;
    }
    root_ = firstRoot(connection_);
    grabbed_ = grab(connection_, root_, kSentinelKey, XCB_MOD_MASK_ANY);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

KeySentinel::~KeySentinel() {
    if (grabbed_) {
        xcb_ungrab_key(connection_, kSentinelKey, root_, XCB_MOD_MASK_ANY);
        syncWithServer(connection_);
    }
}

bool KeySentinel::settle() {
    const int expected = ++sent_;
    if (!xdotool({"key", "F12"}) || !waitUntil([&] { return seen_ >= expected; })) {
        return false;
    }
    drainMainThread();
    return true;
}

bool KeySentinel::nativeEventFilter(const QByteArray& eventType, void* message,
                                    qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_KEY_PRESS &&
        reinterpret_cast<const xcb_key_press_event_t*>(event)->detail == kSentinelKey) {
        ++seen_;
        return true;
    }
    return false;
}

OtherClient::OtherClient() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    root_ = firstRoot(connection_);
}

OtherClient::~OtherClient() {
    if (connection_ == nullptr) {
        return;
    }
    // The server would drop the grabs with the connection too, but only once it notices.
    for (const auto& [keycode, modifiers] : grabs_) {
        xcb_ungrab_key(connection_, keycode, root_, modifiers);
    }
    syncWithServer(connection_);
    xcb_disconnect(connection_);
}

bool OtherClient::grabKey(uint8_t keycode, uint16_t modifiers) {
    const bool granted = grab(connection_, root_, keycode, modifiers);
    if (granted) {
        grabs_.emplace_back(keycode, modifiers);
    }
    return granted;
}

bool OtherClient::receivesPress(uint8_t keycode) {
    return waitUntil([&] {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const bool match = (event->response_type & 0x7f) == XCB_KEY_PRESS &&
                               reinterpret_cast<xcb_key_press_event_t*>(event)->detail == keycode;
            std::free(event);
            if (match) {
                return true;
            }
        }
        return false;
    });
}

}  // namespace vantorel::testing
