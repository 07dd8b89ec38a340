#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <map>

#include "feedback/alert_notifier.h"
#include "feedback/notifier.h"

namespace vantorel {

class FileBrowser;
class Presenter;

// Announces saved and recovered recordings through the desktop's notification server
// (org.freedesktop.Notifications) with a "Show in Folder" action. Whenever no server answers
// or posting fails, the alert stands in, so every file is announced exactly once.
// Main thread only.
class FreedesktopNotifier final : public Notifier {
    Q_OBJECT

  public:
    // A server that has not answered within `patience` is taken to be absent.
    FreedesktopNotifier(QDBusConnection bus, Presenter& presenter, FileBrowser& fileBrowser,
                        std::chrono::milliseconds patience = std::chrono::seconds(4));
    void notifyFile(FileNews news, const QString& path) override;
    void notifyNotice(const QString& summary, const QString& body) override;
    bool busy() const override { return posting_ > 0 || fallback_.busy(); }

  private Q_SLOTS:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

  private:
    // One notification: what it says, its actions, and the file it reveals (empty for none).
    struct Announcement {
        QString summary;
        QString body;
        QStringList actions;
        QString path;
    };
    // The alert that stands in when the notification cannot be posted.
    using FallBack = std::function<void(AlertNotifier&)>;

    static QString asBody(QString text, bool serverReadsMarkup);
    void announce(const Announcement& announcement, const FallBack& fallBack);
    void post(const Announcement& announcement, bool serverReadsMarkup, const FallBack& fallBack);
    // The server has the notification, or the alert was asked for instead.
    void handedOver();
    void fallBackWith(const FallBack& fallBack);
    void settleWhenIdle();

    QDBusConnection bus_;
    FileBrowser& fileBrowser_;
    const int patienceMs_;
    AlertNotifier fallback_;
    int posting_ = 0;  // saves whose notification the server has not taken yet
    std::map<uint, QString> open_;
};

}  // namespace vantorel
