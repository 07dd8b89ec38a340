#pragma once

#include <QObject>
#include <QString>

namespace vantorel {

// What became of a recording the user is told about.
enum class FileNews {
    saved,      // a recording just ended and its file was written
    recovered,  // a recording cut off by a crash was finished at this start
};

// Tells the user about a recording's file, exactly once per call. Main thread only.
class Notifier : public QObject {
    Q_OBJECT

  public:
    // Names the file, with an action that shows it in its folder.
    virtual void notifyFile(FileNews news, const QString& path) = 0;
    // Something the user should know that needs no answer, shown once.
    virtual void notifyNotice(const QString& summary, const QString& body) = 0;
    // True while an announcement is still on its way: waiting for the notification server, or
    // shown as an alert that is not answered yet. The program ends only once this is false.
    virtual bool busy() const = 0;

  signals:
    // Every announcement asked for so far has been made (busy() is false again).
    void settled();
};

}  // namespace vantorel
