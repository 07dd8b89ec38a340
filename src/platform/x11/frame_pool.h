#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace vantorel {

// A fixed number of equally sized BGRA pictures for the frames a capture hands out. A picture
// comes back by itself when its last holder lets go of it, even after the pool is gone (it is
// then freed), so the writer may keep a frame as long as it needs to.
class FramePool {
  public:
    FramePool(int capacity, int width, int height);

    // A free picture to fill, or null when every picture is still held somewhere.
    // Any thread.
    std::shared_ptr<uint8_t> acquire();

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; }

  private:
    struct Shelf {
        std::mutex mutex;
        std::vector<std::unique_ptr<uint8_t[]>> free;
        int made = 0;
    };

    int capacity_;
    int width_;
    int height_;
    std::shared_ptr<Shelf> shelf_;
};

}  // namespace vantorel
