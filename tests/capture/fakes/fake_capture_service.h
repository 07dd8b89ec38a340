#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "capture/fakes/call_log.h"
#include "capture/fakes/fake_capture_stream.h"
#include "platform/capture_service.h"
#include "platform/serial_queue.h"

namespace vantorel::testing {

// A capture service with the content the test gives it, making FakeCaptureStreams. It keeps
// its streams weakly, so a test can see that an owner let go of one. Any thread.
class FakeCaptureService final : public CaptureService {
  public:
    explicit FakeCaptureService(std::shared_ptr<CallLog> log = std::make_shared<CallLog>());

    void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                             ShareableContentCompletion completion) override;
    std::shared_ptr<CaptureStream> makeStream(ContentFilterRef filter,
                                              const StreamConfiguration& configuration,
                                              std::weak_ptr<StreamDelegate> delegate) override;

    // Controls.
    void setContent(ShareableContent content);
    void failContent(ErrorRef error);
    // Runs on every new stream before makeStream returns it.
    void onEachStream(std::function<void(FakeCaptureStream&)> configure);

    // Inspection.
    std::shared_ptr<FakeCaptureStream> lastStream() const;
    int streamCount() const;
    // The flags of the last content query, when there was one.
    std::optional<std::pair<bool, bool>> lastContentQuery() const;
    const std::shared_ptr<CallLog>& log() const { return log_; }

  private:
    const std::shared_ptr<CallLog> log_;
    const std::unique_ptr<SerialQueue> own_;

    mutable std::mutex mutex_;
    ShareableContent content_;
    ErrorRef contentError_;
    std::function<void(FakeCaptureStream&)> configure_;
    std::weak_ptr<FakeCaptureStream> lastStream_;
    int streams_ = 0;
    std::optional<std::pair<bool, bool>> lastQuery_;
};

}  // namespace vantorel::testing
