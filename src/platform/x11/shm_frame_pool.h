#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/x11/shm_image.h"

namespace vantorel {

// A fixed number of equally sized pictures in shared memory that the X server fills itself
// (MIT-SHM), handed out for the frames of a capture: a grab lands in the picture the writer then
// reads, with no copy in between. Made lazily, up to the capacity.
//
// A picture comes back by itself when its last holder (a writer thread) lets go of it, even
// after the pool is gone: the pool detaches every segment from the server when it goes, on the
// grab thread while the connection still lives, and a picture held then is unmapped by its last
// holder. Acquiring and destroying happen on the grab thread; letting go on any thread.
class ShmFramePool {
  public:
    ShmFramePool(xcb_connection_t* connection, int capacity, int width, int height);
    ~ShmFramePool();

    ShmFramePool(const ShmFramePool&) = delete;
    ShmFramePool& operator=(const ShmFramePool&) = delete;

    // A free picture to fill; null when every picture is still held, or with `error` set when
    // a new one could not be made.
    std::shared_ptr<ShmImage> acquire(std::optional<Error>& error);

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; }

  private:
    // Outlives the pool while pictures are held.
    struct Shelf {
        std::mutex mutex;
        std::vector<std::unique_ptr<ShmImage>> made;
        std::vector<ShmImage*> free;
    };

    xcb_connection_t* connection_;
    int capacity_;
    int width_;
    int height_;
    std::shared_ptr<Shelf> shelf_;
};

}  // namespace vantorel
