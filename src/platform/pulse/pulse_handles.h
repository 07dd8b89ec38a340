#pragma once

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <memory>

namespace vantorel {

// Owners of libpulse objects. A context or stream is released only while its main loop is
// stopped, or from the loop's own thread, so their owners must be destroyed in that order.
struct PulseMainloopDeleter {
    void operator()(pa_threaded_mainloop* loop) const { pa_threaded_mainloop_free(loop); }
};
struct PulseContextDeleter {
    void operator()(pa_context* context) const { pa_context_unref(context); }
};
struct PulseStreamDeleter {
    void operator()(pa_stream* stream) const { pa_stream_unref(stream); }
};
struct PulseOperationDeleter {
    void operator()(pa_operation* operation) const { pa_operation_unref(operation); }
};

using PulseMainloopPtr = std::unique_ptr<pa_threaded_mainloop, PulseMainloopDeleter>;
using PulseContextPtr = std::unique_ptr<pa_context, PulseContextDeleter>;
using PulseStreamPtr = std::unique_ptr<pa_stream, PulseStreamDeleter>;
using PulseOperationPtr = std::unique_ptr<pa_operation, PulseOperationDeleter>;

// Holds the main loop's lock for a scope. Never taken on the loop's own thread, which already
// holds it while it runs callbacks.
class PulseMainloopLock {
  public:
    explicit PulseMainloopLock(pa_threaded_mainloop* loop) : loop_(loop) {
        pa_threaded_mainloop_lock(loop_);
    }
    ~PulseMainloopLock() { pa_threaded_mainloop_unlock(loop_); }
    PulseMainloopLock(const PulseMainloopLock&) = delete;
    PulseMainloopLock& operator=(const PulseMainloopLock&) = delete;

  private:
    pa_threaded_mainloop* loop_;
};

}  // namespace vantorel
