#include "app/startup_recovery.h"

#include <pthread.h>

namespace vantorel {

StartupRecovery::StartupRecovery(Recover recover, std::filesystem::path folder) {
    const auto before = std::filesystem::file_time_type::clock::now();
    worker_ = std::thread([this, recover = std::move(recover), folder = std::move(folder), before] {
        pthread_setname_np(pthread_self(), "Vantorel.rescue");
        mp4::RecoveryReport report = recover(folder, before);
        // Delivered by the main thread's event loop; dropped there if this object is gone.
        QMetaObject::invokeMethod(
            this, [this, report = std::move(report)] { emit finished(report); },
            Qt::QueuedConnection);
    });
}

StartupRecovery::~StartupRecovery() {
    worker_.join();
}

}  // namespace vantorel
