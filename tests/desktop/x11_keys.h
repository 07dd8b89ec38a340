#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace vantorel::testing {

// Runs xdotool with `arguments` and waits for it; true when it succeeded. xdotool waits for
// the server to take the fake input before it exits.
bool xdotool(const QStringList& arguments);

// Waits until the server has handled every request sent so far on `connection`. Grabs that a
// test process leaves behind would otherwise still be held when the next test starts.
void syncWithServer(xcb_connection_t* connection);
// The same for Qt's own connection.
void syncQtConnection();

// True when the named lock ("Caps Lock", "Num Lock") is on, as xset reports it.
bool lockIsOn(const QString& lockName);

// Turns lock keys on for one scope and off again afterwards, whatever the test's outcome.
class LocksOn {
  public:
    explicit LocksOn(QStringList keys);
    ~LocksOn();
    LocksOn(const LocksOn&) = delete;
    LocksOn& operator=(const LocksOn&) = delete;

  private:
    QStringList keys_;
};

// A key of the test's own (F12, any modifiers) grabbed on Qt's connection. X delivers a
// client's events in order, so once its press has been seen every event sent before it has
// been through Qt's filters as well: the test can then count what happened without waiting for
// a time.
class KeySentinel final : public QAbstractNativeEventFilter {
  public:
    KeySentinel();
    ~KeySentinel() override;

    bool grabbed() const { return grabbed_; }
    // Sends the sentinel key, waits for it and runs what the events before it posted.
    bool settle();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    bool grabbed_ = false;
    int seen_ = 0;
    int sent_ = 0;
};

// A second X client, as another program that uses the same shortcut would be.
class OtherClient {
  public:
    OtherClient();
    ~OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    bool connected() const { return connection_ != nullptr; }
    // Grabs key `keycode` with `modifiers` on the root window; false when the server refused.
    bool grabKey(uint8_t keycode, uint16_t modifiers);
    // Waits until this client receives a press of `keycode`.
    bool receivesPress(uint8_t keycode);

  private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::vector<std::pair<uint8_t, uint16_t>> grabs_;
};

// The state modifiers xdotool's key names stand for on the test server's keymap.
inline constexpr uint16_t kShift = XCB_MOD_MASK_SHIFT;
inline constexpr uint16_t kLock = XCB_MOD_MASK_LOCK;
inline constexpr uint16_t kNumLock = XCB_MOD_MASK_2;
inline constexpr uint16_t kSuper = XCB_MOD_MASK_4;

}  // namespace vantorel::testing
