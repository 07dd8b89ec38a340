#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/sample_buffer.h"

namespace vantorel {

// A fixed number of equally sized BGRA pixel buffers. A buffer handed out comes back by
// itself when its last reference is released, even after the pool is gone (it is then freed).
class PixelBufferPool {
  public:
    PixelBufferPool(int capacity, int width, int height);

    // A free buffer to fill, or null when every buffer is still held somewhere.
    // Called from any thread.
    std::shared_ptr<PixelBuffer> acquire();
    // Buffers not held by anyone. Called from any thread.
    int available() const;

  private:
    struct Shelf {
        mutable std::mutex mutex;
        std::vector<std::unique_ptr<PixelBuffer>> free;
        int made = 0;
    };

    int capacity_;
    int width_;
    int height_;
    std::shared_ptr<Shelf> shelf_;
};

}  // namespace vantorel
