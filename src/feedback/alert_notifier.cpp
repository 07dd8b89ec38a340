#include "feedback/alert_notifier.h"

#include <QPointer>

#include "feedback/alerts.h"
#include "platform/main_thread.h"

namespace vantorel {

AlertNotifier::AlertNotifier(Presenter& presenter, FileBrowser& fileBrowser)
    : presenter_(presenter), fileBrowser_(fileBrowser) {}

void AlertNotifier::notifySaved(const QString& path) {
    ++waiting_;
    postToMain([self = QPointer(this), path] {
        if (AlertNotifier* notifier = self.data()) {
            Alerts::saved(notifier->presenter_, notifier->fileBrowser_, path);
            // The alert is modal: the notifier may have gone while it was up.
            if (AlertNotifier* stillThere = self.data();
                stillThere && --stillThere->waiting_ == 0) {
                emit stillThere->settled();
            }
        }
    });
}

}  // namespace vantorel
