#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/media_time.h"
#include "platform/sample_buffer.h"

namespace vantorel::testing {

// A host-clock time `ms` milliseconds after the clock's origin.
MediaTime at(int64_t ms);

// A small BGRA frame whose first attachment carries `status`.
SampleBufferRef frameWithStatus(MediaTime time, FrameStatus status);
SampleBufferRef completeFrame(MediaTime time);
// A small BGRA frame with exactly these attachments.
SampleBufferRef frameWithAttachments(MediaTime time,
                                     std::optional<std::vector<Attachments>> attachments);
// 10 ms of stereo silence.
SampleBufferRef soundBlock(MediaTime time);

}  // namespace vantorel::testing
