#include "platform/dbus/logind_sleep_watcher.h"

#include "platform/dbus/logind_names.h"

namespace vantorel {

LogindSleepWatcher::LogindSleepWatcher(QDBusConnection bus) : bus_(std::move(bus)) {
    if (bus_.isConnected()) {
        // Matching on logind's name: only the owner of org.freedesktop.login1 is believed.
        bus_.connect(logind::kService, logind::kPath, logind::kManager, "PrepareForSleep", this,
                     SLOT(prepareForSleep(bool)));
    }
}

LogindSleepWatcher::~LogindSleepWatcher() {
    if (bus_.isConnected()) {
        bus_.disconnect(logind::kService, logind::kPath, logind::kManager, "PrepareForSleep", this,
                        SLOT(prepareForSleep(bool)));
    }
}

void LogindSleepWatcher::prepareForSleep(bool start) {
    // The false that follows on resume needs nothing: a recording that was running has been
    // stopped, and the next one asks for its own inhibitor.
    if (start) {
        emit preparingForSleep();
    }
}

}  // namespace vantorel
