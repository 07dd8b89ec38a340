#include "platform/x11/shm_frame_pool.h"

#include <algorithm>

namespace vantorel {

ShmFramePool::ShmFramePool(xcb_connection_t* connection, int capacity, int width, int height)
    : connection_(connection),
      capacity_(std::max(1, capacity)),
      width_(width),
      height_(height),
      shelf_(std::make_shared<Shelf>()) {
    // Giving a picture back must not allocate: it happens in a deleter.
    shelf_->free.reserve(static_cast<size_t>(capacity_));
}

ShmFramePool::~ShmFramePool() {
    std::lock_guard lock(shelf_->mutex);
    for (const std::unique_ptr<ShmImage>& image : shelf_->made) {
        image->detachFromServer();
    }
}

std::shared_ptr<ShmImage> ShmFramePool::acquire(std::optional<Error>& error) {
    ShmImage* image = nullptr;
    {
        std::lock_guard lock(shelf_->mutex);
        if (!shelf_->free.empty()) {
            image = shelf_->free.back();
            shelf_->free.pop_back();
        } else if (shelf_->made.size() >= static_cast<size_t>(capacity_)) {
            return nullptr;
        }
    }
    if (image == nullptr) {
        // Made outside the lock: the server attaches it in a round trip.
        std::unique_ptr<ShmImage> made =
            ShmImage::create(connection_, static_cast<size_t>(stride()) * height_, error);
        if (!made) {
            return nullptr;
        }
        image = made.get();
        std::lock_guard lock(shelf_->mutex);
        shelf_->made.push_back(std::move(made));
    }
    return std::shared_ptr<ShmImage>(image, [shelf = shelf_](ShmImage* returned) {
        std::lock_guard lock(shelf->mutex);
        shelf->free.push_back(returned);
    });
}

}  // namespace vantorel
