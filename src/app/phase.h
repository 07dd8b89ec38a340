#pragma once

#include <QMetaType>

namespace vantorel {

// The state of the recording flow; one recording at a time.
enum class Phase {
    idle,       // nothing going on; a recording can be started
    selecting,  // the selection overlay is up
    countdown,  // a region was confirmed; waiting, counting down or starting the capture
    recording,  // the capture runs and the file is written
    stopping,   // a stop was asked for; the file is being finished
};

}  // namespace vantorel

Q_DECLARE_METATYPE(vantorel::Phase)
