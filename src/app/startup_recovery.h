#pragma once

#include <QObject>

#include <filesystem>
#include <functional>
#include <thread>

#include "platform/mp4/recording_recovery.h"

namespace vantorel {

// Looks through the save folder once at the start for recordings a crash, an out-of-memory
// kill or a power cut left unfinished, and finishes them on a thread of its own: the folder may
// hold many large files, and the tray must not wait for them. What it found arrives as
// `finished` on the main thread. Destruction waits for the work, which only rewrites indexes.
class StartupRecovery final : public QObject {
    Q_OBJECT

  public:
    // Finishes the cut-off recordings in a folder last written before a given time.
    using Recover = std::function<mp4::RecoveryReport(const std::filesystem::path& folder,
                                                      std::filesystem::file_time_type before)>;

    // Main thread. Only files last written before now are looked at: a recording this run
    // starts meanwhile is being written, not cut off.
    StartupRecovery(Recover recover, std::filesystem::path folder);
    ~StartupRecovery() override;

  signals:
    void finished(const mp4::RecoveryReport& report);

  private:
    std::thread worker_;
};

}  // namespace vantorel
