#include "capture/fakes/fake_host_clock.h"

namespace vantorel::testing {

MediaTime FakeHostClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void FakeHostClock::set(MediaTime now) {
    std::lock_guard lock(mutex_);
    now_ = now;
}

}  // namespace vantorel::testing
