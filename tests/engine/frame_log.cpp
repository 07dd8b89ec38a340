#include "frame_log.h"

#include <variant>

namespace vantorel::testing {

namespace {

// Read from the attachments themselves rather than through the engine's own rule, so that a
// fault in that rule cannot hide here.
bool carriesNewContent(const SampleBuffer& buffer) {
    const auto& attachments = buffer.sampleAttachments();
    if (!attachments || attachments->empty()) {
        return false;
    }
    const auto status = attachments->front().find(kFrameInfoStatus);
    if (status == attachments->front().end()) {
        return false;
    }
    const auto* value = std::get_if<int64_t>(&status->second);
    return value != nullptr && *value == static_cast<int64_t>(FrameStatus::complete);
}

}  // namespace

void FrameLog::note(const SampleBuffer& buffer, StreamOutputType type) {
    {
        std::lock_guard lock(mutex_);
        if (type == StreamOutputType::audio) {
            ++sound_;
        } else if (type == StreamOutputType::screen && carriesNewContent(buffer)) {
            if (complete_++ == 0) {
                first_ = buffer.presentationTime();
            }
            last_ = buffer.presentationTime();
        }
    }
    changed_.notify_all();
}

MediaTime FrameLog::firstCompleteFrame() const {
    std::lock_guard lock(mutex_);
    return first_;
}

MediaTime FrameLog::lastCompleteFrame() const {
    std::lock_guard lock(mutex_);
    return last_;
}

size_t FrameLog::completeFrames() const {
    std::lock_guard lock(mutex_);
    return complete_;
}

size_t FrameLog::soundBlocks() const {
    std::lock_guard lock(mutex_);
    return sound_;
}

bool FrameLog::waitForCompleteFrames(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return complete_ >= count; });
}

bool FrameLog::waitForSoundBlocks(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return sound_ >= count; });
}

}  // namespace vantorel::testing
