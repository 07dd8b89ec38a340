#include "capture/sample_rules.h"

#include <variant>

namespace vantorel {

bool isCompleteFrame(const SampleBuffer& buffer) {
    const auto& attachments = buffer.sampleAttachments();
    if (!attachments || attachments->empty()) {
        return false;
    }
    const Attachments& first = attachments->front();
    const auto entry = first.find(kFrameInfoStatus);
    if (entry == first.end()) {
        return false;
    }
    // A status written as a float, a flag or a text is not a status.
    const auto* status = std::get_if<int64_t>(&entry->second);
    return status != nullptr && *status == static_cast<int64_t>(FrameStatus::complete);
}

MediaTime sessionEndTime(const MediaTime& now, const MediaTime& lastVideoTime) {
    if (now.isValid() && compare(now, lastVideoTime) > 0) {
        return now;
    }
    return lastVideoTime;
}

}  // namespace vantorel
