#pragma once

#include <mutex>

#include "platform/error.h"
#include "platform/media_writer.h"

namespace vantorel {

// A writer's status and error, shared by the caller's thread and the encoding threads.
// Every method is thread-safe.
class WriterState {
  public:
    WriterStatus status() const;
    ErrorRef error() const;

    // Moves from `from` to `to`; false, changing nothing, when the status is not `from`.
    bool advance(WriterStatus from, WriterStatus to);
    // The first failure while starting or writing wins; later ones, and failures after the
    // writer completed or was cancelled, are dropped.
    void fail(ErrorRef error);

  private:
    mutable std::mutex mutex_;
    WriterStatus status_ = WriterStatus::unknown;
    ErrorRef error_;
};

}  // namespace vantorel
