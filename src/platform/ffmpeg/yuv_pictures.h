#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/capture_source.h"
#include "platform/ffmpeg/av_handles.h"

namespace vantorel {

// The video encoder's pictures: planar YUV 4:2:0 of the encoder's size, made from captured
// frames on the capture's own thread.
//
// Converting there, before a frame is queued, hands the capture's buffer (a whole B,G,R,X frame,
// 2.7 times the size of its YUV picture, and on X11 a segment shared with the server) back to
// the source as soon as the frame is taken: the source needs one buffer instead of one per
// queued frame, and the queue holds the smaller pictures.
//
// A picture's memory comes back when its last reference goes, on whichever thread, even after
// this object is gone, and is kept for the next pictures. Spare pictures that none of the last
// 30 frames needed are given back to the kernel, down to three mapped in all: one slow
// second does not keep the memory of a full queue for the rest of a long recording, and a
// spare needed every few frames is not made again each time (at 4K, 12 MB to fault in).
class YuvPictures {
  public:
    // Pictures of `width` x `height` pixels, even sides (see BgraConverter for odd frames).
    YuvPictures(int width, int height);

    YuvPictures(const YuvPictures&) = delete;
    YuvPictures& operator=(const YuvPictures&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // Makes the pictures it keeps ahead of the first frames, each written once: memory touched
    // for the first time is slow to write (page faults, and in a virtual machine the host's
    // too), 20 to 40 ms for a 4K picture here, which would hold up the first frames' hand-over.
    void prepare();
    // The frame's picture; null when memory runs out. One thread at a time.
    FramePtr make(const VideoFrame& frame);
    // Pictures mapped now, in use or spare.
    size_t mappedPictures() const;

  private:
    // Anonymous mappings rather than the heap: the C library would keep a freed block of this
    // size for itself, where munmap hands it back at once.
    struct Unmap {
        size_t bytes;
        void operator()(uint8_t* data) const;
    };
    using Mapping = std::unique_ptr<uint8_t, Unmap>;

    struct Shelf {
        explicit Shelf(size_t pictureBytes) : bytes(pictureBytes) {}
        // A spare mapping, or a new one; null when out of memory.
        Mapping take();
        void giveBack(uint8_t* data);

        const size_t bytes;
        mutable std::mutex mutex;
        std::vector<Mapping> spare;
        size_t mapped = 0;              // spare, and taken but not given back
        size_t takes = 0;               // since spares were last given back to the kernel
        size_t fewestSpare = SIZE_MAX;  // left after a take, since then
    };

    static void release(void* shelf, uint8_t* data);

    int width_;
    int height_;
    int linesizes_[4] = {};
    size_t planeOffsets_[3] = {};
    std::shared_ptr<Shelf> shelf_;
};

}  // namespace vantorel
