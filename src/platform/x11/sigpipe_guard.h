#pragma once

#include <signal.h>

namespace vantorel {

// libxcb writes to its socket with plain writev, so a write after the X server died raises
// SIGPIPE, whose default action ends the whole process. While a guard lives, SIGPIPE is
// blocked on the current thread only (the write then just fails with EPIPE and the connection
// reports its error); one raised meanwhile is taken off the thread before the old mask returns.
// Used on every thread that talks to an X server.
class SigpipeGuard {
  public:
    SigpipeGuard();
    ~SigpipeGuard();

    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

  private:
    sigset_t previous_;
    bool wasBlocked_ = false;
};

}  // namespace vantorel
