#include "platform/x11/sigpipe_guard.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace vantorel {

namespace {

sigset_t onlySigpipe() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
    const sigset_t set = onlySigpipe();
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
    wasBlocked_ = sigismember(&previous_, SIGPIPE) == 1;
}

SigpipeGuard::~SigpipeGuard() {
    if (wasBlocked_) {
        return;  // an outer guard (or the program) owns the mask and anything pending
    }
    const sigset_t set = onlySigpipe();
    sigset_t pending;
    sigemptyset(&pending);
    if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
        const timespec now{0, 0};
        while (sigtimedwait(&set, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace vantorel
