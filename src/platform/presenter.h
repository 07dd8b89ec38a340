#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vantorel {

enum class AlertStyle { warning, informational, critical };

// A technical text shown under an alert's message in a scrolling, selectable monospaced field.
struct AlertDetailsView {
    QString text;
    int width = 440;   // logical pixels
    int height = 160;  // logical pixels
    int fontSize = 11;
};

// One modal alert: title, message, buttons in order (the first is the default) and an optional
// details field.
struct AlertRequest {
    AlertStyle style = AlertStyle::warning;
    QString title;
    QString message;
    QStringList buttons;
    // The button that Escape and closing the window answer. Only the caller knows which of its
    // buttons means "leave things as they are"; it is not always the last one.
    int escapeButton = 0;
    std::optional<AlertDetailsView> details = std::nullopt;
};

struct FolderChooserRequest {
    QString startFolder;  // the folder the chooser opens in
    QString prompt;       // the title of its accept button
};

// Shows the program's modal dialogs. Main thread only; each call blocks its caller (the event
// loop keeps running) until the user answers.
class Presenter {
  public:
    virtual ~Presenter() = default;
    // The index of the chosen button; Escape and closing the window choose the request's
    // escapeButton. -1 when the alert was ended without any answer.
    virtual int runAlert(const AlertRequest& request) = 0;
    // The chosen folder's path, or nothing when the chooser was cancelled.
    virtual std::optional<QString> chooseFolder(const FolderChooserRequest& request) = 0;
};

}  // namespace vantorel
