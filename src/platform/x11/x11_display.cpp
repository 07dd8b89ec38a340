#include "platform/x11/x11_display.h"

#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include "platform/x11/randr_monitors.h"
#include "platform/x11/x11_errors.h"

namespace vantorel {

namespace {

// Grabs copy 32-bit B,G,R,X pixels straight out of the server; anything else is refused.
bool hasBgrxPixels(const xcb_setup_t* setup, const xcb_screen_t* screen) {
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST ||
        (screen->root_depth != 24 && screen->root_depth != 32)) {
        return false;
    }
    bool bits32 = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
        if (it.data->depth == screen->root_depth) {
            bits32 = it.data->bits_per_pixel == 32;
        }
    }
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
         xcb_depth_next(&depths)) {
        for (auto visual = xcb_depth_visuals_iterator(depths.data); visual.rem > 0;
             xcb_visualtype_next(&visual)) {
            if (visual.data->visual_id == screen->root_visual) {
                return bits32 && visual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       visual.data->red_mask == 0xFF0000 && visual.data->green_mask == 0xFF00 &&
                       visual.data->blue_mask == 0xFF;
            }
        }
    }
    return false;
}

uint8_t eventBase(xcb_connection_t* connection, xcb_extension_t* extension) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection, extension);
    return (data != nullptr && data->present != 0) ? data->first_event : 0;
}

Error missing(const char* extension) {
    return cannotCapture(Error::Kind::failed,
                         QStringLiteral("the X server does not offer %1").arg(extension));
}

}  // namespace

std::unique_ptr<X11Display> X11Display::open(const std::string& name, std::optional<Error>& error) {
    std::unique_ptr<X11Display> display(new X11Display);
    error = display->connect(name);
    if (!error) {
        error = display->checkExtensions();
    }
    return error ? nullptr : std::move(display);
}

std::optional<Error> X11Display::broken() const {
    if (const int code = xcb_connection_has_error(connection_.get())) {
        return displayLost(xcbConnectionProblem(code));
    }
    return std::nullopt;
}

std::optional<Error> X11Display::connect(const std::string& name) {
    int screenNumber = 0;
    connection_.reset(xcb_connect(name.empty() ? nullptr : name.c_str(), &screenNumber));
    if (const int code = xcb_connection_has_error(connection_.get())) {
        const QString shown =
            QString::fromStdString(name.empty() ? qgetenv("DISPLAY").toStdString() : name);
        return cannotCapture(Error::Kind::noDisplay,
                             QStringLiteral("cannot open X display \"%1\": %2")
                                 .arg(shown, xcbConnectionProblem(code)));
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_.get());
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0 || !hasBgrxPixels(setup, screens.data)) {
        return cannotCapture(Error::Kind::failed,
                             QStringLiteral("the X screen does not use 32-bit true-colour pixels"));
    }
    root_ = screens.data->root;
    screenRect_ = PixelRect{0, 0, screens.data->width_in_pixels, screens.data->height_in_pixels};
    return std::nullopt;
}

std::optional<Error> X11Display::checkExtensions() {
    xcb_connection_t* c = connection_.get();
    auto shm = takeReply(xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
    if (!shm) {
        return broken() ? broken() : missing("MIT-SHM");
    }
    // XFIXES must be announced before DAMAGE is used, and it gives the cursor's picture.
    auto xfixes = takeReply(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!xfixes) {
        return missing("XFIXES");
    }
    auto damage = takeReply(xcb_damage_query_version_reply(
        c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    if (!damage) {
        return missing("DAMAGE");
    }
    if (!hasRandrMonitors(c)) {
        return missing("RandR 1.5");
    }
    damageEventBase_ = eventBase(c, &xcb_damage_id);
    xfixesEventBase_ = eventBase(c, &xcb_xfixes_id);
    return std::nullopt;
}

}  // namespace vantorel
