#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// Whole seconds from `start` to `now`, truncated, never negative. An absent start counts as now.
int64_t elapsedSeconds(const std::optional<QDateTime>& start, const QDateTime& now);

// "mm:ss" below an hour, "h:mm:ss" from an hour on.
QString elapsedString(int64_t seconds);

}  // namespace vantorel
