#pragma once

#include <QMetaType>
#include <QString>

#include <optional>

#include "platform/error.h"

namespace vantorel {

// The outcome of a stop: the kept file, or why there is none (the file was removed), or
// neither when nothing was recording. Never both.
struct StopResult {
    std::optional<QString> path;
    std::optional<Error> error;
};

}  // namespace vantorel

Q_DECLARE_METATYPE(vantorel::StopResult)
