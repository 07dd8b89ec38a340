#include "capture/fakes/fake_media_writer_factory.h"

namespace vantorel::testing {

FakeMediaWriterFactory::FakeMediaWriterFactory(std::shared_ptr<CallLog> log)
    : log_(std::move(log)) {}

std::shared_ptr<MediaWriter> FakeMediaWriterFactory::makeWriter(const std::filesystem::path& path,
                                                                ErrorRef& error) {
    log_->add("makeWriter");
    std::function<void(FakeMediaWriter&)> configure;
    {
        std::lock_guard lock(mutex_);
        ++requests_;
        if (refuse_) {
            error = refusal_;
            return nullptr;
        }
        configure = configure_;
    }
    auto writer = std::make_shared<FakeMediaWriter>(path, log_);
    if (configure) {
        configure(*writer);
    }
    std::lock_guard lock(mutex_);
    lastWriter_ = writer;
    return writer;
}

void FakeMediaWriterFactory::refuseWith(ErrorRef error) {
    std::lock_guard lock(mutex_);
    refuse_ = true;
    refusal_ = std::move(error);
}

void FakeMediaWriterFactory::onEachWriter(std::function<void(FakeMediaWriter&)> configure) {
    std::lock_guard lock(mutex_);
    configure_ = std::move(configure);
}

std::shared_ptr<FakeMediaWriter> FakeMediaWriterFactory::lastWriter() const {
    std::lock_guard lock(mutex_);
    return lastWriter_;
}

int FakeMediaWriterFactory::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

}  // namespace vantorel::testing
