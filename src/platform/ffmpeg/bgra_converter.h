#pragma once

#include "capture/capture_source.h"

struct AVFrame;

namespace vantorel {

// Turns captured B,G,R,X pixels into the encoders' planar YUV 4:2:0 (BT.601, limited range).
//
// libyuv does this for a 1920x1080 frame in about 0.25 ms here, against 2.8 to 4.5 ms for
// libswscale (point to bilinear): at 60 frames per second libswscale alone would use a sixth to
// a quarter of a core that x264 needs. bench/writer measures both.
class BgraConverter {
  public:
    // Fills `frame` (YUV420P, allocated, writable) from `source`'s pixels. A source smaller
    // than the frame is extended by repeating its last column and row, which is how odd sizes
    // reach an encoder that only takes even ones; a larger source is cut to the frame.
    static void convert(const VideoFrame& source, AVFrame& frame);

  private:
    static void extendRight(AVFrame& frame, int fromColumn, int rows);
    static void extendDown(AVFrame& frame, int fromRow);
};

}  // namespace vantorel
