#pragma once

#include <QObject>

#include "indicators/indicator_window.h"

namespace vantorel {

// A button that stops the recording, floating outside the recorded region. Main thread only.
class StopButton : public QObject, public IndicatorWindow {
    Q_OBJECT

  public:
    using QObject::QObject;

  signals:
    // The user clicked it. Its owner may close it from a slot of this signal.
    void clicked();
};

}  // namespace vantorel
