#pragma once

namespace vantorel {

// Whether a compositing manager runs on the X screen of $DISPLAY, i.e. whether the
// _NET_WM_CM_S<screen> selection has an owner. Without one, translucent windows show black
// where they should let the desktop through. False when the display cannot be opened.
bool compositorRunning();

}  // namespace vantorel
