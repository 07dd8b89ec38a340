#pragma once

#include <QString>

class QMenu;

namespace vantorel {

// The two symbols the status item shows.
enum class StatusSymbol {
    recordCircle,  // a ring with a dot, in the panel's own light or dark colour
    circleFill,    // a red disc, while recording
};

// How the status item looks for one phase.
struct StatusLook {
    StatusSymbol symbol = StatusSymbol::recordCircle;
    QString accessibilityDescription;
    QString title;  // shown after the symbol; empty for the symbol alone
    QString note;   // a line of advice under the tooltip; empty for none
};

// The program's permanent item in the panel, with its menu. Main thread only.
class StatusItem {
  public:
    virtual ~StatusItem() = default;
    virtual void setLook(const StatusLook& look) = 0;
    // The menu, which its owner refills each time it is about to open.
    virtual QMenu* menu() = 0;
};

}  // namespace vantorel
