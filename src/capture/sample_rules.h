#pragma once

#include "platform/media_time.h"
#include "platform/sample_buffer.h"

namespace vantorel {

// True only for a video frame whose first attachment says it carries new content. Frames that
// are idle, blank, suspended, started or stopped, or that say nothing at all, are not written.
bool isCompleteFrame(const SampleBuffer& buffer);

// Where the file's timeline ends: the moment of finishing, so that the last frame is held on
// screen until then, but never before the last frame written. An unreadable clock (`now`
// invalid) leaves the last frame's own time.
MediaTime sessionEndTime(const MediaTime& now, const MediaTime& lastVideoTime);

}  // namespace vantorel
