#include "platform/x11/x11_errors.h"

#include <QCoreApplication>

#include <array>

namespace vantorel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("X11CaptureSource", text);
}

QString notConnected(const QString& monitor) {
    return QStringLiteral("the monitor %1 is not connected").arg(monitor);
}

}  // namespace

QString xcbConnectionProblem(int code) {
    switch (code) {
        case XCB_CONN_ERROR:
            return QStringLiteral("X connection lost");
        case XCB_CONN_CLOSED_EXT_NOTSUPPORTED:
            return QStringLiteral("X connection closed: extension not supported");
        case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
            return QStringLiteral("X connection closed: out of memory");
        case XCB_CONN_CLOSED_REQ_LEN_EXCEED:
            return QStringLiteral("X connection closed: request too long");
        case XCB_CONN_CLOSED_PARSE_ERR:
            return QStringLiteral("X display name not understood");
        case XCB_CONN_CLOSED_INVALID_SCREEN:
            return QStringLiteral("X display has no such screen");
        default:
            return QStringLiteral("X connection error %1").arg(code);
    }
}

QString xcbErrorText(const xcb_generic_error_t& error, const char* request) {
    // The core protocol's errors by code; extensions' own errors go by number.
    static constexpr std::array<const char*, 18> kNames = {
        nullptr,     "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    const QString name = error.error_code < kNames.size() && kNames[error.error_code] != nullptr
                             ? QString::fromLatin1(kNames[error.error_code])
                             : QStringLiteral("X error %1").arg(error.error_code);
    return QStringLiteral("%1 (%2)").arg(name, QString::fromLatin1(request));
}

Error cannotCapture(Error::Kind kind, const QString& detail) {
    return Error{kind, tr("The screen could not be captured."), detail};
}

Error monitorMissing(const QString& monitor) {
    return Error{Error::Kind::noDisplay, tr("The screen to record is not connected."),
                 notConnected(monitor)};
}

Error monitorGone(const QString& monitor) {
    return Error{Error::Kind::captureLost, tr("The screen being recorded was disconnected."),
                 notConnected(monitor)};
}

Error displayLost(const QString& detail) {
    return Error{Error::Kind::captureLost, tr("The connection to the display was lost."), detail};
}

}  // namespace vantorel
