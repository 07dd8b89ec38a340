#include "selection/floating_window.h"

#include <QWidget>

namespace vantorel {

void makeFloatingWindow(QWidget& window, bool composited) {
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint | Qt::Tool | Qt::NoDropShadowWindowHint);
    if (composited) {
        window.setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // Everything is painted opaque or cut away by a mask; no background fill first.
        window.setAttribute(Qt::WA_NoSystemBackground);
    }
}

}  // namespace vantorel
