#include "feedback/alerts.h"

#include <QFileInfo>

#include "platform/file_browser.h"
#include "platform/presenter.h"

namespace vantorel::Alerts {

void error(Presenter& presenter, const QString& title, const QString& message,
           const std::optional<QString>& details) {
    presenter.activateApplication();
    AlertRequest alert{AlertStyle::warning, title, message, {"OK"}, std::nullopt};
    if (!details) {
        presenter.runAlert(alert);
        return;
    }
    alert.buttons.append("Show Details");
    if (presenter.runAlert(alert) == 1) {
        showDetails(presenter, *details);
    }
}

void showDetails(Presenter& presenter, const QString& text) {
    presenter.runAlert(AlertRequest{AlertStyle::warning,
                                    "Details",
                                    "This is the technical message behind the problem.",
                                    {"OK"},
                                    AlertDetailsView{text}});
}

bool permissionNeeded(Presenter& presenter) {
    presenter.activateApplication();
    const int answer = presenter.runAlert(AlertRequest{
        AlertStyle::informational,
        "Screen recording permission needed",
        "Vantorel needs your permission to see the screen so it can record the area you pick. "
        "Turn it on in System Settings, Privacy & Security, Screen Recording. You may need to quit "
        "and reopen the app afterwards.",
        {"Open System Settings", "Not Now"},
        std::nullopt});
    return answer == 0;
}

void saved(Presenter& presenter, FileBrowser& fileBrowser, const QString& path) {
    presenter.activateApplication();
    const int answer = presenter.runAlert(AlertRequest{AlertStyle::warning,
                                                       "Saved",
                                                       QFileInfo(path).fileName(),
                                                       {"Reveal in Finder", "OK"},
                                                       std::nullopt});
    if (answer == 0) {
        fileBrowser.revealFile(path);
    }
}

}  // namespace vantorel::Alerts
