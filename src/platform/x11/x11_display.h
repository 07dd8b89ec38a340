#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/x11/pixel_rect.h"
#include "platform/x11/xcb_handles.h"

namespace vantorel {

// A connection to an X server whose screen can be grabbed: 32-bit true-colour pixels, MIT-SHM,
// XFIXES, DAMAGE and RandR 1.5 monitors. Used on one thread.
class X11Display {
  public:
    // `name` empty: $DISPLAY. Null with `error` set when the server cannot be reached or lacks
    // what a grab needs.
    static std::unique_ptr<X11Display> open(const std::string& name, std::optional<Error>& error);

    xcb_connection_t* connection() const { return connection_.get(); }
    xcb_window_t root() const { return root_; }
    const PixelRect& screenRect() const { return screenRect_; }
    uint8_t damageEventBase() const { return damageEventBase_; }
    uint8_t xfixesEventBase() const { return xfixesEventBase_; }
    // Why the connection broke, once it has; nothing while it works.
    std::optional<Error> broken() const;

  private:
    X11Display() = default;
    std::optional<Error> connect(const std::string& name);
    std::optional<Error> checkExtensions();

    XcbConnectionPtr connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    PixelRect screenRect_;
    uint8_t damageEventBase_ = 0;
    uint8_t xfixesEventBase_ = 0;
};

}  // namespace vantorel
