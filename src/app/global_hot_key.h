#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <vector>

namespace vantorel {

// The system-wide Super+Shift+R: a passive grab of the R key position on the root window,
// seen through Qt's own X connection. Main thread only.
//
// A combination that another client already holds leaves the instance inert: the program keeps
// working without its shortcut, and nothing is reported.
class GlobalHotKey final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

  public:
    // The key position of R on an evdev keymap, whatever letter the layout puts there.
    static constexpr xcb_keycode_t kKeyCode = 27;
    static constexpr uint16_t kModifiers = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;

    // Grabs on Qt's X connection; without one (another platform plugin) it stays inert.
    GlobalHotKey();
    ~GlobalHotKey() override;

    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // True when every variant of the combination was grabbed.
    bool active() const { return !grabbed_.empty(); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  signals:
    // Once per press (a held combination is one press), after the key event was handled.
    void pressed();

  private:
    void grab();
    void ungrab();
    void watchReleases();
    bool isOurKey(const xcb_key_press_event_t& event) const;
    void keyDown(xcb_timestamp_t time);
    void keyUp(xcb_timestamp_t time);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::vector<uint16_t> grabbed_;  // modifier sets held by this instance
    uint8_t xinputOpcode_ = 0;       // XInput's major opcode once its raw releases are watched
    bool keyDown_ = false;           // the R key is held: further presses are auto-repeat
    xcb_timestamp_t releasedAt_ = XCB_CURRENT_TIME;  // when the R key last went up
};

}  // namespace vantorel
