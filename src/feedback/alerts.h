#pragma once

#include <QString>

#include <optional>

#include "feedback/notifier.h"

namespace vantorel {

class FileBrowser;
class Presenter;

// The program's modal alerts. Stateless; main thread only. Each call blocks until dismissed.
namespace Alerts {

// A failure: title, one-sentence message and, when given (even empty), a "Show Details" button
// that opens the technical text.
void error(Presenter& presenter, const QString& title, const QString& message,
           const std::optional<QString>& details);
void showDetails(Presenter& presenter, const QString& text);
// The title that announces a recording's file: "Saved" or "Recovered".
QString titleOf(FileNews news);
// Announces a recording's file when no notification can be shown.
void fileNews(Presenter& presenter, FileBrowser& fileBrowser, FileNews news, const QString& path);
// Tells something that needs no decision, with one "OK".
void notice(Presenter& presenter, const QString& title, const QString& message);

}  // namespace Alerts

}  // namespace vantorel
