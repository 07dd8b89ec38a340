#pragma once

#include <QObject>

#include "selection/selection.h"

namespace vantorel {

// One region selection, as the recording flow drives it: it ends exactly once, confirmed or
// cancelled, unless it is closed first. It reports from inside its own event handlers, so its
// owner lets go of it later (deleteLater), never from inside a slot of its signals. Main thread
// only.
class SelectionOverlay : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    // Covers the screens and takes the keyboard.
    virtual void show() = 0;
    // Closes, then reports cancelled(); nothing once closed.
    virtual void cancel() = 0;
    // Closes without reporting anything; nothing once closed.
    virtual void close() = 0;

  signals:
    // The user confirmed this region; every window of the selection is closed by then.
    void confirmed(const vantorel::Selection& selection);
    void cancelled();
};

}  // namespace vantorel
