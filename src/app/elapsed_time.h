#pragma once

#include <QString>

#include <cstdint>

namespace vantorel {

// "mm:ss" below an hour, "h:mm:ss" from an hour on; never negative.
QString elapsedString(int64_t seconds);

}  // namespace vantorel
