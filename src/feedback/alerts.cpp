#include "feedback/alerts.h"

#include <QFileInfo>

#include "platform/file_browser.h"
#include "platform/presenter.h"

namespace vantorel::Alerts {

void error(Presenter& presenter, const QString& title, const QString& message,
           const std::optional<QString>& details) {
    // Escape or closing the alert dismisses it like "OK": the details open only when asked for.
    AlertRequest alert{.style = AlertStyle::warning,
                       .title = title,
                       .message = message,
                       .buttons = {"OK"},
                       .escapeButton = 0};
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
    presenter.runAlert(AlertRequest{.style = AlertStyle::informational,
                                    .title = "Details",
                                    .message = "This is the technical message behind the problem.",
                                    .buttons = {"OK"},
                                    .escapeButton = 0,
                                    .details = AlertDetailsView{text}});
}

QString titleOf(FileNews news) {
    return news == FileNews::recovered ? "Recovered" : "Saved";
}

void fileNews(Presenter& presenter, FileBrowser& fileBrowser, FileNews news, const QString& path) {
    // Escape acknowledges the news like "OK"; a file browser opens only when asked for.
    const int answer = presenter.runAlert(AlertRequest{.style = AlertStyle::informational,
                                                       .title = titleOf(news),
                                                       .message = QFileInfo(path).fileName(),
                                                       .buttons = {"Show in Folder", "OK"},
                                                       .escapeButton = 1});
    if (answer == 0) {
        fileBrowser.revealFile(path);
    }
}

void notice(Presenter& presenter, const QString& title, const QString& message) {
    presenter.runAlert(AlertRequest{.style = AlertStyle::informational,
                                    .title = title,
                                    .message = message,
                                    .buttons = {"OK"},
                                    .escapeButton = 0});
}

}  // namespace vantorel::Alerts
