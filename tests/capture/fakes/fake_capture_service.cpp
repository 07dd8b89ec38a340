#include "capture/fakes/fake_capture_service.h"

namespace vantorel::testing {

FakeCaptureService::FakeCaptureService(std::shared_ptr<CallLog> log)
    : log_(std::move(log)), own_(std::make_unique<SerialQueue>("fake.capture")) {}

void FakeCaptureService::getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                                             ShareableContentCompletion completion) {
    log_->add("getShareableContent");
    std::optional<ShareableContent> content;
    ErrorRef error;
    {
        std::lock_guard lock(mutex_);
        lastQuery_ = std::make_pair(excludingDesktopWindows, onScreenWindowsOnly);
        error = contentError_;
        if (!error) {
            content = content_;
        }
    }
    own_->async([completion = std::move(completion), content = std::move(content), error] {
        completion(content, error);
    });
}

std::shared_ptr<CaptureStream> FakeCaptureService::makeStream(
    ContentFilterRef filter, const StreamConfiguration& configuration,
    std::weak_ptr<StreamDelegate> delegate) {
    log_->add("makeStream");
    auto stream = std::make_shared<FakeCaptureStream>(std::move(filter), configuration,
                                                      std::move(delegate), log_);
    std::function<void(FakeCaptureStream&)> configure;
    {
        std::lock_guard lock(mutex_);
        ++streams_;
        lastStream_ = stream;
        configure = configure_;
    }
    if (configure) {
        configure(*stream);
    }
    return stream;
}

void FakeCaptureService::setContent(ShareableContent content) {
    std::lock_guard lock(mutex_);
    content_ = std::move(content);
    contentError_ = nullptr;
}

void FakeCaptureService::failContent(ErrorRef error) {
    std::lock_guard lock(mutex_);
    contentError_ = std::move(error);
}

void FakeCaptureService::onEachStream(std::function<void(FakeCaptureStream&)> configure) {
    std::lock_guard lock(mutex_);
    configure_ = std::move(configure);
}

std::shared_ptr<FakeCaptureStream> FakeCaptureService::lastStream() const {
    std::lock_guard lock(mutex_);
    return lastStream_.lock();
}

int FakeCaptureService::streamCount() const {
    std::lock_guard lock(mutex_);
    return streams_;
}

std::optional<std::pair<bool, bool>> FakeCaptureService::lastContentQuery() const {
    std::lock_guard lock(mutex_);
    return lastQuery_;
}

}  // namespace vantorel::testing
