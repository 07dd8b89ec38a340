#pragma once

#include "capture/capture_source.h"
#include "platform/ffmpeg/av_handles.h"

namespace vantorel {

// The video encoder's pictures: planar YUV 4:2:0 of the encoder's size, made from captured
// frames on the capture's own thread.
//
// Converting there, before a frame is queued, hands the capture's buffer (a whole B,G,R,X frame,
// 2.7 times the size of its YUV picture, and on X11 a segment shared with the server) back to
// the source as soon as the frame is taken: the source needs one buffer instead of one per
// queued frame, and the queue holds the smaller pictures. Their memory is recycled: a picture's
// buffer goes back to the pool when its last reference goes, on whichever thread.
class YuvPictures {
  public:
    // Pictures of `width` x `height` pixels, even sides (see BgraConverter for odd frames).
    YuvPictures(int width, int height);

    YuvPictures(const YuvPictures&) = delete;
    YuvPictures& operator=(const YuvPictures&) = delete;

    // The frame's picture; null when memory runs out. One thread at a time.
    FramePtr make(const VideoFrame& frame);

  private:
    struct PoolDeleter {
        void operator()(AVBufferPool* pool) const { av_buffer_pool_uninit(&pool); }
    };

    int width_;
    int height_;
    int linesizes_[4] = {};
    size_t planeOffsets_[3] = {};
    std::unique_ptr<AVBufferPool, PoolDeleter> pool_;
};

}  // namespace vantorel
