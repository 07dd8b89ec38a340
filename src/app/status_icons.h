#pragma once

#include <QColor>
#include <QIcon>

#include "app/status_item.h"
#include "platform/system_colors.h"

namespace vantorel {

// The symbol drawn at the usual tray sizes. The ring and dot take `foreground`, the palette's
// text colour, on a disc in the opposite shade for panels that do not follow the palette; the
// red disc keeps its colour on every panel.
QIcon drawStatusSymbol(StatusSymbol symbol, const QColor& foreground);

}  // namespace vantorel
