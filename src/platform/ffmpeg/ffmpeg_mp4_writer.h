#pragma once

#include "capture/mp4_writer.h"

namespace vantorel {

// How many items each track's queue holds before appends are refused. A few frames keep the
// capture pool's buffers free while the encoder is busy; sound blocks are small and many.
struct Mp4WriterQueues {
    int video = 3;
    int sound = 32;
};

// The MP4 writer on FFmpeg: H.264 (libx264) or HEVC (libx265), and AAC, one thread per track.
// Also turns FFmpeg's own logging down to warnings, so that the encoders do not print their
// statistics at the end of every recording.
Mp4WriterFactory makeFfmpegMp4WriterFactory(Mp4WriterQueues queues = {});

}  // namespace vantorel
