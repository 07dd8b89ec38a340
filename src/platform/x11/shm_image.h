#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/error.h"
#include "platform/frames/pixel_rect.h"

namespace vantorel {

// A shared-memory segment attached to the X server, into which rectangles of a drawable are
// copied by the server (MIT-SHM). The segment is marked for removal as soon as both sides have
// attached it, so it cannot outlive the process. Used on the connection's thread, except that
// once detached from the server it may be read and destroyed on any.
class ShmImage {
  public:
    // Makes a segment for `capacityBytes`; null with `error` set when that fails.
    static std::unique_ptr<ShmImage> create(xcb_connection_t* connection, size_t capacityBytes,
                                            std::optional<Error>& error);
    ~ShmImage();

    ShmImage(const ShmImage&) = delete;
    ShmImage& operator=(const ShmImage&) = delete;

    // Copies `rect` of `drawable` (32 bits per pixel, B,G,R,X) into the segment, rows packed.
    std::optional<Error> grab(xcb_drawable_t drawable, const PixelRect& rect);
    // Lets the server forget the segment while the connection lives; the memory stays mapped
    // here until destruction, which then needs no connection.
    void detachFromServer();

    const uint8_t* data() const { return data_; }
    uint8_t* data() { return data_; }
    size_t capacity() const { return capacity_; }

  private:
    ShmImage(xcb_connection_t* connection, uint8_t* data, size_t capacity, xcb_shm_seg_t segment);

    xcb_connection_t* connection_;
    uint8_t* data_;
    size_t capacity_;
    xcb_shm_seg_t segment_;
};

}  // namespace vantorel
