#include "platform/x11/pixel_buffer_pool.h"

#include <algorithm>

namespace vantorel {

PixelBufferPool::PixelBufferPool(int capacity, int width, int height)
    : capacity_(std::max(1, capacity)),
      width_(width),
      height_(height),
      shelf_(std::make_shared<Shelf>()) {
    // Returning a buffer must not allocate: it happens in a deleter.
    shelf_->free.reserve(static_cast<size_t>(capacity_));
}

std::shared_ptr<PixelBuffer> PixelBufferPool::acquire() {
    std::unique_ptr<PixelBuffer> buffer;
    {
        std::lock_guard lock(shelf_->mutex);
        if (!shelf_->free.empty()) {
            buffer = std::move(shelf_->free.back());
            shelf_->free.pop_back();
        } else if (shelf_->made < capacity_) {
            ++shelf_->made;
        } else {
            return nullptr;
        }
    }
    if (!buffer) {
        // Allocated outside the lock: the first frames of a large region take a while to fault in.
        buffer = std::make_unique<PixelBuffer>();
        buffer->width = width_;
        buffer->height = height_;
        buffer->bytesPerRow = width_ * 4;
        buffer->bytes.resize(static_cast<size_t>(buffer->bytesPerRow) *
                             static_cast<size_t>(height_));
    }
    return std::shared_ptr<PixelBuffer>(buffer.release(), [shelf = shelf_](PixelBuffer* returned) {
        std::lock_guard lock(shelf->mutex);
        shelf->free.emplace_back(returned);
    });
}

int PixelBufferPool::available() const {
    std::lock_guard lock(shelf_->mutex);
    return capacity_ - shelf_->made + static_cast<int>(shelf_->free.size());
}

}  // namespace vantorel
