#include "platform/x11/shm_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

#include "platform/x11/x11_errors.h"
#include "platform/x11/xcb_handles.h"

namespace vantorel {

namespace {

struct ShmDetach {
    void operator()(void* address) const { shmdt(address); }
};

void* const kShmFailed = reinterpret_cast<void*>(-1);  // NOLINT: shmat's error value

Error noSharedMemory(int code) {
    return Error::fromErrno(
        Error::Kind::failed,
        QCoreApplication::translate("X11CaptureSource", "The screen could not be captured."), code);
}

// Writes the segment's pages once now, at the start, rather than leaving their faults to the
// first frame: at 3840x2160 those cost 45 to 100 ms on the grab thread, which held up the first
// frame's hand-over and made the next grab late. (MADV_POPULATE_WRITE returned early on these
// System V segments here and saved nothing.)
void populate(void* address, size_t bytes) {
    std::memset(address, 0, bytes);
}

}  // namespace

std::unique_ptr<ShmImage> ShmImage::create(xcb_connection_t* connection, size_t capacityBytes,
                                           std::optional<Error>& error) {
    const int id = shmget(IPC_PRIVATE, capacityBytes, IPC_CREAT | 0600);
    if (id < 0) {
        error = noSharedMemory(errno);
        return nullptr;
    }
    void* address = shmat(id, nullptr, 0);
    if (address == kShmFailed) {
        error = noSharedMemory(errno);
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    std::unique_ptr<void, ShmDetach> mapping(address);
    populate(address, capacityBytes);
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    XcbErrorPtr attachError(xcb_request_check(
        connection, xcb_shm_attach_checked(connection, segment, static_cast<uint32_t>(id), 0)));
    // Both sides are attached now (or the server refused); the id is no longer needed.
    shmctl(id, IPC_RMID, nullptr);
    if (const int lost = xcb_connection_has_error(connection)) {
        error = cannotCapture(Error::Kind::failed, xcbConnectionProblem(lost));
        return nullptr;
    }
    if (attachError) {
        // A server on another machine, or in another IPC namespace, cannot see the segment.
        error = cannotCapture(Error::Kind::failed, xcbErrorText(*attachError, "ShmAttach"));
        return nullptr;
    }
    return std::unique_ptr<ShmImage>(
        new ShmImage(connection, static_cast<uint8_t*>(mapping.release()), capacityBytes, segment));
}

ShmImage::ShmImage(xcb_connection_t* connection, uint8_t* data, size_t capacity,
                   xcb_shm_seg_t segment)
    : connection_(connection), data_(data), capacity_(capacity), segment_(segment) {}

ShmImage::~ShmImage() {
    detachFromServer();
    shmdt(data_);
}

void ShmImage::detachFromServer() {
    if (connection_ != nullptr && !xcb_connection_has_error(connection_)) {
        xcb_shm_detach(connection_, segment_);
        xcb_flush(connection_);
    }
    connection_ = nullptr;
}

std::optional<Error> ShmImage::grab(xcb_drawable_t drawable, const PixelRect& rect) {
    xcb_generic_error_t* rawError = nullptr;
    auto reply = takeReply(xcb_shm_get_image_reply(
        connection_,
        xcb_shm_get_image(connection_, drawable, static_cast<int16_t>(rect.x),
                          static_cast<int16_t>(rect.y), static_cast<uint16_t>(rect.width),
                          static_cast<uint16_t>(rect.height), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                          segment_, 0),
        &rawError));
    XcbErrorPtr error(rawError);
    if (const int lost = xcb_connection_has_error(connection_)) {
        return displayLost(xcbConnectionProblem(lost));
    }
    if (error) {
        return cannotCapture(Error::Kind::captureLost, xcbErrorText(*error, "ShmGetImage"));
    }
    const size_t needed = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height) * 4;
    if (!reply || reply->size < needed) {
        return cannotCapture(Error::Kind::captureLost,
                             QStringLiteral("the X server sent a short image"));
    }
    return std::nullopt;
}

}  // namespace vantorel
