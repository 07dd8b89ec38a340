#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/fakes/call_log.h"
#include "capture/fakes/fake_media_writer.h"
#include "platform/media_writer.h"

namespace vantorel::testing {

// Makes FakeMediaWriters, or refuses to. Controls and inspection may be used from any thread.
class FakeMediaWriterFactory final : public MediaWriterFactory {
  public:
    explicit FakeMediaWriterFactory(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());

    std::shared_ptr<MediaWriter> makeWriter(const std::filesystem::path& path,
                                            ErrorRef& error) override;

    // Every later request fails with `error` (which may be null).
    void refuseWith(ErrorRef error);
    // Runs on every new writer before it is handed out, to set up its behaviour.
    void onEachWriter(std::function<void(FakeMediaWriter&)> configure);

    std::shared_ptr<FakeMediaWriter> lastWriter() const;
    int requestCount() const;
    const std::shared_ptr<CallLog>& log() const { return log_; }

  private:
    const std::shared_ptr<CallLog> log_;
    mutable std::mutex mutex_;
    bool refuse_ = false;
    ErrorRef refusal_;
    std::function<void(FakeMediaWriter&)> configure_;
    std::shared_ptr<FakeMediaWriter> lastWriter_;
    int requests_ = 0;
};

}  // namespace vantorel::testing
