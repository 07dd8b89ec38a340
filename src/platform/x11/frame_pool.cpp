#include "platform/x11/frame_pool.h"

#include <algorithm>

namespace vantorel {

FramePool::FramePool(int capacity, int width, int height)
    : capacity_(std::max(1, capacity)),
      width_(width),
      height_(height),
      shelf_(std::make_shared<Shelf>()) {
    // Giving a picture back must not allocate: it happens in a deleter.
    shelf_->free.reserve(static_cast<size_t>(capacity_));
}

std::shared_ptr<uint8_t> FramePool::acquire() {
    std::unique_ptr<uint8_t[]> picture;
    {
        std::lock_guard lock(shelf_->mutex);
        if (!shelf_->free.empty()) {
            picture = std::move(shelf_->free.back());
            shelf_->free.pop_back();
        } else if (shelf_->made < capacity_) {
            ++shelf_->made;
        } else {
            return nullptr;
        }
    }
    if (!picture) {
        // Allocated outside the lock: the first frames of a large region take a while to fault in.
        picture = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(stride()) *
                                                            static_cast<size_t>(height_));
    }
    return std::shared_ptr<uint8_t>(picture.release(), [shelf = shelf_](uint8_t* returned) {
        std::lock_guard lock(shelf->mutex);
        shelf->free.emplace_back(returned);
    });
}

}  // namespace vantorel
