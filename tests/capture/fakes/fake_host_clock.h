#pragma once

#include <mutex>

#include "platform/host_clock.h"

namespace vantorel::testing {

// A host clock that reads whatever the test set, including an unreadable (invalid) time.
class FakeHostClock final : public HostClock {
  public:
    explicit FakeHostClock(MediaTime now = MediaTime::invalid()) : now_(now) {}

    // Any thread.
    MediaTime now() const override;
    // Any thread.
    void set(MediaTime now);

  private:
    mutable std::mutex mutex_;
    MediaTime now_;
};

}  // namespace vantorel::testing
