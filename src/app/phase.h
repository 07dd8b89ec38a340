#pragma once

namespace vantorel {

// The state of the recording flow; one recording at a time.
enum class Phase {
    idle,       // nothing going on; a recording can be started
    selecting,  // the selection overlay is up
    countdown,  // a region was confirmed; waiting, counting down or starting the engine
    recording,  // the engine runs and writes the file
    stopping,   // a stop was asked for; the engine is finishing the file
};

}  // namespace vantorel
