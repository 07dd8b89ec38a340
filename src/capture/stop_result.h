#pragma once

#include <filesystem>
#include <optional>

#include "platform/error.h"

namespace vantorel {

// The outcome of a stop: a kept file, an error (the file was deleted), or neither when nothing
// was recording. Never both.
struct StopResult {
    std::optional<std::filesystem::path> url;
    ErrorRef error;
};

}  // namespace vantorel
