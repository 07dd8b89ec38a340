#pragma once

#include <string>

namespace vantorel {

// Whether the screen of the X display can be captured: the server answers and offers what a
// stream needs (MIT-SHM, DAMAGE, XFIXES, RandR monitors, 32-bit true-colour pixels). X11 asks
// no permission, so this stands in for the screen-capture permission check. Blocks for a few
// round trips; any thread.
bool canCaptureDisplay(const std::string& displayName = {});

}  // namespace vantorel
