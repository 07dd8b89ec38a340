#pragma once

class QWidget;

namespace vantorel {

// Makes `window` a borderless top-level window that bypasses the window manager, so that it
// stays above panels and full-screen windows and gets no taskbar entry. With a compositing
// manager its background is translucent; without one, translucent pixels would come out black,
// so the caller must draw an opaque picture or set a shape mask.
void makeFloatingWindow(QWidget& window, bool composited);

}  // namespace vantorel
