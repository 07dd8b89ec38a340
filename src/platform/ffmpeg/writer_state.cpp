#include "platform/ffmpeg/writer_state.h"

namespace vantorel {

WriterStatus WriterState::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

ErrorRef WriterState::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool WriterState::advance(WriterStatus from, WriterStatus to) {
    std::lock_guard lock(mutex_);
    if (status_ != from) {
        return false;
    }
    status_ = to;
    return true;
}

void WriterState::fail(ErrorRef error) {
    std::lock_guard lock(mutex_);
    if (status_ != WriterStatus::unknown && status_ != WriterStatus::writing) {
        return;
    }
    status_ = WriterStatus::failed;
    error_ = std::move(error);
}

}  // namespace vantorel
