#pragma once

#include <QColor>
#include <QIcon>

namespace vantorel {

// The two symbols of the tray item.
enum class TraySymbol {
    ring,     // a ring with a dot, visible on light and dark panels
    redDisc,  // while recording
};

// The symbol drawn at the usual tray sizes. The ring and dot take `foreground`, the palette's
// text colour, on a disc in the opposite shade for panels that do not follow the palette; the
// red disc keeps its colour on every panel.
QIcon drawTraySymbol(TraySymbol symbol, const QColor& foreground);

}  // namespace vantorel
