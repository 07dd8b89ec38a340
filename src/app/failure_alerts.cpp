#include "app/failure_alerts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace vantorel::FailureAlerts {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("FailureAlerts", text);
}

QString cannotSaveTitle() {
    return tr("Can't save to this folder");
}

// Nothing for a stop the user asked for: it needs no explaining.
std::optional<QString> reasonText(StopReason reason) {
    switch (reason) {
        case StopReason::sleep:
            return tr("The computer went to sleep.");
        case StopReason::lowSpace:
            return tr("The disk is almost full, so the recording was stopped and saved.");
        case StopReason::captureFailure:
            return tr(
                "The recording stopped unexpectedly. What was recorded so far was saved if "
                "possible.");
        case StopReason::user:
            break;
    }
    return std::nullopt;
}

// Both texts of the error, unless it has only the one.
QString bothTexts(const Error& error) {
    return error.detail.isEmpty() || error.detail == error.text
               ? error.details()
               : error.text + "\n\n" + error.detail;
}

}  // namespace

FailureAlert folderUnusable(const QString& folder, const QString& details) {
    return {
        cannotSaveTitle(),
        tr("The folder \"%1\" can't be written. Pick another one under Settings, Save Location.")
            .arg(QFileInfo(folder).fileName()),
        details};
}

FailureAlert startFailed(const Error& error, const QString& saveFolder) {
    switch (error.kind) {
        case Error::Kind::permissionDeclined:
            return {tr("Screen recording permission needed"),
                    tr("Vantorel needs your permission to see the screen so it can record the area "
                       "you pick. Your desktop asks for it in its screen-sharing dialog: next "
                       "time, choose the screen and allow sharing it. If no dialog appears, the "
                       "desktop's screen-sharing service (xdg-desktop-portal) is missing or not "
                       "running."),
                    std::nullopt};
        case Error::Kind::otherMonitorShared:
            return {tr("Another screen was shared"),
                    tr("The desktop shared a different screen from the one your region is on, so "
                       "nothing was recorded. Start again and choose that screen in the desktop's "
                       "screen-sharing dialog."),
                    error.details()};
        case Error::Kind::cannotWrite:
            return {cannotSaveTitle(),
                    tr("The video file could not be created in \"%1\".")
                        .arg(QFileInfo(saveFolder).fileName()),
                    error.details()};
        case Error::Kind::noDisplay:
            return {tr("No display found"), tr("The screen you picked is no longer available."),
                    error.details()};
        default:
            break;
    }
    return {tr("The recording failed to start"),
            tr("Something went wrong while starting the recording. Try again; if it keeps "
               "happening, the details say whether the display, the sound server or the video "
               "encoder refused."),
            bothTexts(error)};
}

std::optional<FailureAlert> stopped(StopReason reason, const std::optional<QString>& details) {
    const std::optional<QString> text = reasonText(reason);
    if (!text) {
        return std::nullopt;
    }
    return FailureAlert{tr("Recording stopped"), *text, details};
}

FailureAlert notSaved(StopReason reason, const std::optional<QString>& details,
                      const std::optional<Error>& error) {
    QStringList parts;
    if (details) {
        parts.append(*details);
    }
    if (error) {
        parts.append(error->details());
    }
    return {
        tr("The recording could not be saved"),
        reasonText(reason).value_or(tr("The video file could not be finished, so it was removed.")),
        parts.join("\n\n")};
}

FailureAlert notRecovered(
    const std::vector<std::pair<std::filesystem::path, std::string>>& recordings) {
    QStringList lines;
    for (const auto& [path, why] : recordings) {
        lines << QFile::decodeName(path.c_str()) + ": " + QString::fromStdString(why);
    }
    if (recordings.size() == 1) {
        return {tr("A recording could not be recovered"),
                tr("Vantorel ended while recording, and the file could not be made playable. It "
                   "was left as it is; the details name it."),
                lines.join('\n')};
    }
    return {tr("Some recordings could not be recovered"),
            tr("Vantorel ended while recording, and the files could not be made playable. They "
               "were left as they are; the details name them."),
            lines.join('\n')};
}

}  // namespace vantorel::FailureAlerts
