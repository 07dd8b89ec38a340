#pragma once

#include "platform/serial_queue.h"

namespace vantorel::testing {

// Returns once every task posted to `queue` before the call has run. Not from the queue itself.
void drain(SerialQueue& queue);

}  // namespace vantorel::testing
