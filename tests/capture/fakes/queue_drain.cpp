#include "capture/fakes/queue_drain.h"

#include <future>
#include <memory>

namespace vantorel::testing {

void drain(SerialQueue& queue) {
    // Shared with the task: the promise must outlive a set_value that wakes this thread.
    auto reached = std::make_shared<std::promise<void>>();
    std::future<void> done = reached->get_future();
    queue.async([reached] { reached->set_value(); });
    done.wait();
}

}  // namespace vantorel::testing
