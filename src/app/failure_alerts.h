#pragma once

#include <QString>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace vantorel {

// Why a recording was stopped.
enum class StopReason {
    user,            // the menu, the hot key, the stop button or a quit
    sleep,           // the machine is about to sleep
    lowSpace,        // the disk holding the recording is almost full
    captureFailure,  // capturing or writing failed while recording
};

// What an alert says: a title, one or two sentences, and the technical details behind a "Show
// Details" button when there are any (even empty ones).
struct FailureAlert {
    QString title;
    QString message;
    std::optional<QString> details;
};

// The words for every way a recording can go wrong, from the situation alone. No widgets.
namespace FailureAlerts {

// The save folder `folder` cannot take recordings; `details` says why, in the system's words.
FailureAlert folderUnusable(const QString& folder, const QString& details);
// The capture did not start. A refused permission gives the prompt that explains it; a
// folder that cannot be written names `saveFolder`.
FailureAlert startFailed(const Error& error, const QString& saveFolder);
// A recording was stopped for `reason` and its file was kept: what the user should be told,
// nothing for a stop the user asked for. `details` are the stop's own, if any.
std::optional<FailureAlert> stopped(StopReason reason, const std::optional<QString>& details);
// A recording was stopped for `reason` and no file was kept; `error` says why not.
FailureAlert notSaved(StopReason reason, const std::optional<QString>& details,
                      const std::optional<Error>& error);
// Recordings cut off by a crash that could not be finished at the start, each with why.
FailureAlert notRecovered(
    const std::vector<std::pair<std::filesystem::path, std::string>>& recordings);

}  // namespace FailureAlerts

}  // namespace vantorel
