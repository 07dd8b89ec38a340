#pragma once

#include <QString>

#include <optional>

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
// Announces a saved recording when no notification can be shown.
void saved(Presenter& presenter, FileBrowser& fileBrowser, const QString& path);
// Tells something that needs no decision, with one "OK".
void notice(Presenter& presenter, const QString& title, const QString& message);

}  // namespace Alerts

}  // namespace vantorel
