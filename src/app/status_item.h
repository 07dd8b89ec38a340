#pragma once

#include <QString>

namespace vantorel {

// The two symbols the status item shows.
enum class StatusSymbol {
    recordCircle,  // a ring with a dot, visible on light and dark panels
    circleFill,    // a red disc, while recording
};

// How the status item looks for one phase.
struct StatusLook {
    StatusSymbol symbol = StatusSymbol::recordCircle;
    QString accessibilityDescription;
    QString title;  // shown after the symbol; empty for the symbol alone
    QString note;   // a line of advice under the tooltip; empty for none
};

// The program's permanent item in the panel. It opens a menu that its maker hands it and that
// outlives it. Main thread only.
class StatusItem {
  public:
    virtual ~StatusItem() = default;
    virtual void setLook(const StatusLook& look) = 0;
    // Whether the desktop has a tray to show the item in.
    virtual bool inPanel() const = 0;
};

}  // namespace vantorel
