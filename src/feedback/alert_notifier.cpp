#include "feedback/alert_notifier.h"

#include <QPointer>

#include "feedback/alerts.h"
#include "platform/main_thread.h"

namespace vantorel {

AlertNotifier::AlertNotifier(Presenter& presenter, FileBrowser& fileBrowser)
    : presenter_(presenter), fileBrowser_(fileBrowser) {}

void AlertNotifier::notifyFile(FileNews news, const QString& path) {
    showLater([news, path](AlertNotifier& self) {
        Alerts::fileNews(self.presenter_, self.fileBrowser_, news, path);
    });
}

void AlertNotifier::notifyNotice(const QString& summary, const QString& body) {
    showLater(
        [summary, body](AlertNotifier& self) { Alerts::notice(self.presenter_, summary, body); });
}

void AlertNotifier::showLater(std::function<void(AlertNotifier&)> alert) {
    ++waiting_;
    postToMain([self = QPointer(this), alert = std::move(alert)] {
        if (AlertNotifier* notifier = self.data()) {
            alert(*notifier);
            // The alert is modal: the notifier may have gone while it was up.
            if (AlertNotifier* stillThere = self.data();
                stillThere && --stillThere->waiting_ == 0) {
                emit stillThere->settled();
            }
        }
    });
}

}  // namespace vantorel
