#pragma once

#include <QColor>
#include <QIcon>

#include "app/status_item.h"
#include "platform/system_colors.h"

namespace vantorel {

// The symbol drawn at the usual tray sizes. `foreground` is the panel's text colour, which the
// ring follows; the red disc keeps its colour on every panel.
QIcon drawStatusSymbol(StatusSymbol symbol, const QColor& foreground);

}  // namespace vantorel
