#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// Recordings stop when the volume holding them has less free space than this (decimal bytes).
inline constexpr int64_t kLowSpaceLimit = 300'000'000;

// Creates `folder` with its missing parents and checks that the current user can write to it.
// Nothing when it can take recordings; otherwise why not, in the system's words.
std::optional<QString> prepareFolder(const QString& folder);

// Bytes available to the current user on the volume holding `path`; nothing when unreadable.
std::optional<int64_t> freeBytes(const QString& path);

// True when a known free space is below the limit.
bool isLowOnSpace(const std::optional<int64_t>& free);

}  // namespace vantorel
