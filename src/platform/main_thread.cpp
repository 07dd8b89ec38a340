#include "platform/main_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace vantorel {

void postToMain(std::function<void()> task) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

bool isMainThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace vantorel
