#pragma once

#include <functional>
#include <memory>

#include "capture/recorder_config.h"
#include "capture/stop_result.h"
#include "platform/error.h"

namespace vantorel {

// What the application controller needs of a recording engine: one start, then one stop.
// Implementations keep themselves alive while an operation runs, so the owner may let go of
// the engine at any time.
class CaptureEngine {
  public:
    using FailureCallback = std::function<void(ErrorRef)>;
    using StartCompletion = std::function<void(ErrorRef)>;
    using StopCompletion = std::function<void(StopResult)>;

    virtual ~CaptureEngine() = default;

    // Set before start(). Called at most once per recording, on the engine's own thread, when
    // capturing or writing fails while recording.
    virtual void setOnFailure(FailureCallback callback) = 0;
    // Runs off the calling thread; `completion` runs once, on any thread, with null on success.
    virtual void start(const RecorderConfig& config, StartCompletion completion) = 0;
    // Runs off the calling thread; `completion` runs once, on any thread. Never fails.
    virtual void stop(StopCompletion completion) = 0;
};

using CaptureEngineFactory = std::function<std::shared_ptr<CaptureEngine>()>;

}  // namespace vantorel
