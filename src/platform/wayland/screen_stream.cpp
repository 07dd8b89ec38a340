#include "platform/wayland/screen_stream.h"

#include <spa/buffer/meta.h>
#include <unistd.h>

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

#include "platform/frames/frame_converter.h"
#include "platform/host_clock.h"
#include "platform/wayland/monitor_mapping.h"
#include "platform/wayland/pipewire_params.h"

namespace vantorel {

namespace {

// Pictures in flight at most, as for the X11 grab: the writer converts a frame before queueing
// it, so one is in use while it is filled and handed over, and one is for a sink that keeps
// frames a little longer.
constexpr int kPictures = 2;
// A buffer's own time is taken when it is this close to the arrival: PipeWire's clock is
// CLOCK_MONOTONIC, but a back end may stamp its buffers on a clock of its own.
constexpr int64_t kTrustedLagNs = 1'000'000'000;

QString tr(const char* text) {
    return QCoreApplication::translate("ScreenStream", text);
}

QSize frameSizeFor(const StreamCut& cut) {
    return cut.frameSize.isEmpty() ? cut.region.size() : cut.frameSize;
}

}  // namespace

struct ScreenStream::Listeners {
    pw_stream_events streamEvents{};
    pw_core_events coreEvents{};
    pw_registry_events registryEvents{};
    spa_hook stream{};
    spa_hook core{};
    spa_hook registry{};
};

std::unique_ptr<ScreenStream> ScreenStream::open(int fd, uint32_t node, const StreamCut& cut,
                                                 Handlers handlers, std::optional<Error>& error) {
    pw_init(nullptr, nullptr);
    std::unique_ptr<ScreenStream> stream(new ScreenStream(cut, std::move(handlers)));
    error = stream->connect(fd, node);
    return error ? nullptr : std::move(stream);
}

ScreenStream::ScreenStream(const StreamCut& cut, Handlers handlers)
    : cut_(cut),
      handlers_(std::move(handlers)),
      pool_(kPictures, frameSizeFor(cut).width(), frameSizeFor(cut).height()),
      listeners_(std::make_unique<Listeners>()) {
    listeners_->streamEvents.version = PW_VERSION_STREAM_EVENTS;
    listeners_->streamEvents.state_changed = &ScreenStream::onStateChanged;
    listeners_->streamEvents.param_changed = &ScreenStream::onParamChanged;
    listeners_->streamEvents.process = &ScreenStream::onProcess;
    listeners_->coreEvents.version = PW_VERSION_CORE_EVENTS;
    listeners_->coreEvents.error = &ScreenStream::onCoreError;
    listeners_->registryEvents.version = PW_VERSION_REGISTRY_EVENTS;
    listeners_->registryEvents.global_remove = &ScreenStream::onGlobalRemoved;
}

ScreenStream::~ScreenStream() {
    if (loop_) {
        pw_thread_loop_stop(loop_.get());  // joins the thread
    }
    // Destroying the stream would report its disconnection to us, now on the owner's thread.
    spa_hook_remove(&listeners_->stream);
    spa_hook_remove(&listeners_->core);
    spa_hook_remove(&listeners_->registry);
}

std::optional<Error> ScreenStream::connect(int fd, uint32_t node) {
    node_ = node;
    const auto failure = [fd](const char* call, int code) {
        if (fd >= 0) {
            ::close(fd);
        }
        return Error{Error::Kind::failed, tr("The screen stream could not be opened."),
                     QString("%1: %2").arg(call, std::strerror(code))};
    };
    loop_.reset(pw_thread_loop_new("Vantorel.pwgrab", nullptr));
    if (!loop_) {
        return failure("pw_thread_loop_new", errno);
    }
    context_.reset(pw_context_new(pw_thread_loop_get_loop(loop_.get()), nullptr, 0));
    if (!context_) {
        return failure("pw_context_new", errno);
    }
    core_.reset(pw_context_connect_fd(context_.get(), fd, nullptr, 0));  // owns the fd from here
    if (!core_) {
        return failure("pw_context_connect_fd", errno);
    }
    fd = -1;
    // libpipewire's method macros cast the C way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
    pw_core_add_listener(core_.get(), &listeners_->core, &listeners_->coreEvents, this);
    registry_.reset(pw_core_get_registry(core_.get(), PW_VERSION_REGISTRY, 0));
    if (registry_) {
        pw_registry_add_listener(registry_.get(), &listeners_->registry,
                                 &listeners_->registryEvents, this);
    }
#pragma GCC diagnostic pop
    stream_.reset(
        pw_stream_new(core_.get(), "Vantorel screen",
                      pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                        "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr)));
    if (!stream_) {
        return failure("pw_stream_new", errno);
    }
    pw_stream_add_listener(stream_.get(), &listeners_->stream, &listeners_->streamEvents, this);
    uint8_t buffer[1024];
    const spa_pod* params[4];
    const uint32_t count = vantorel_screen_format_params(buffer, sizeof buffer, params,
                                                         static_cast<uint32_t>(cut_.frameRate));
    const auto flags =
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS);
    if (const int result =
            pw_stream_connect(stream_.get(), PW_DIRECTION_INPUT, node, flags, params, count);
        result < 0) {
        return failure("pw_stream_connect", -result);
    }
    if (const int result = pw_thread_loop_start(loop_.get()); result < 0) {
        return failure("pw_thread_loop_start", -result);
    }
    return std::nullopt;
}

void ScreenStream::formatChanged(const spa_pod* format) {
    uint32_t layout = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    if (!vantorel_parse_screen_format(format, &layout, &width, &height)) {
        return;
    }
    streamSize_ = QSize(static_cast<int>(width), static_cast<int>(height));
    crop_ = regionInStream(cut_.region, cut_.monitorSize, streamSize_);
    if (crop_.isEmpty() || pool_.width() <= 0 || pool_.height() <= 0) {
        end(QString("the region lies outside the shared monitor's %1x%2 pixels")
                .arg(width)
                .arg(height));
        return;
    }
    uint8_t buffer[1024];
    const spa_pod* params[4];
    const uint32_t count = vantorel_screen_buffer_params(buffer, sizeof buffer, params,
                                                         static_cast<int32_t>(width * 4),
                                                         static_cast<int32_t>(height));
    pw_stream_update_params(stream_.get(), params, count);
}

void ScreenStream::stateChanged(int state, const char* message) {
    switch (state) {
        case PW_STREAM_STATE_ERROR:
            end(QString("PipeWire: %1").arg(message ? message : "stream error"));
            break;
        case PW_STREAM_STATE_UNCONNECTED:
            end("PipeWire: the stream was disconnected");
            break;
        case PW_STREAM_STATE_STREAMING:
            if (!running_ && !ended_) {
                running_ = true;
                handlers_.running();
            }
            break;
        default:
            break;
    }
}

void ScreenStream::process() {
    // Only the newest buffer is cut, but a change in any of those waiting counts.
    pw_buffer* newest = pw_stream_dequeue_buffer(stream_.get());
    bool news = newest && bringsNews(*newest->buffer);
    while (pw_buffer* next = newest ? pw_stream_dequeue_buffer(stream_.get()) : nullptr) {
        pw_stream_queue_buffer(stream_.get(), newest);
        newest = next;
        news = news || bringsNews(*newest->buffer);
    }
    if (!newest) {
        return;
    }
    const spa_buffer& buffer = *newest->buffer;
    const spa_data& data = buffer.datas[0];
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(&buffer, SPA_META_Header, sizeof(spa_meta_header)));
    const bool corrupted = (header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED)) ||
                           (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED);
    const int stride = data.chunk->stride > 0 ? data.chunk->stride : streamSize_.width() * 4;
    const bool whole =
        data.data && !crop_.isEmpty() &&
        data.chunk->offset + static_cast<uint64_t>(stride) * streamSize_.height() <= data.maxsize;
    std::shared_ptr<uint8_t> pixels;
    if ((news || !delivered_) && whole && !corrupted) {
        pixels = pool_.acquire();  // none free: the frame is left out, as on X11
    }
    if (pixels) {
        const auto* source = static_cast<const uint8_t*>(data.data) + data.chunk->offset +
                             static_cast<size_t>(crop_.y()) * stride +
                             static_cast<size_t>(crop_.x()) * 4;
        convertFrame(source, crop_.width(), crop_.height(), stride, pixels.get(), pool_.width(),
                     pool_.height(), pool_.stride());
    }
    const int64_t timeNs = frameTime(buffer);
    pw_stream_queue_buffer(stream_.get(), newest);
    if (pixels) {
        delivered_ = true;
        handlers_.frame(VideoFrame{timeNs, true, pool_.width(), pool_.height(), pool_.stride(),
                                   std::move(pixels)});
    }
}

// Without damage regions every buffer counts as new.
bool ScreenStream::bringsNews(const spa_buffer& buffer) const {
    const spa_meta* damage = spa_buffer_find_meta(&buffer, SPA_META_VideoDamage);
    if (!damage || damage->size < sizeof(spa_meta_region)) {
        return true;
    }
    const auto* regions = static_cast<const spa_meta_region*>(damage->data);
    const size_t count = damage->size / sizeof(spa_meta_region);
    for (size_t i = 0; i < count; ++i) {
        const spa_region& r = regions[i].region;
        if (r.size.width == 0 || r.size.height == 0) {
            return i == 0;  // an empty list says nothing about where the change was
        }
        if (crop_.intersects(QRect(r.position.x, r.position.y, static_cast<int>(r.size.width),
                                   static_cast<int>(r.size.height)))) {
            return true;
        }
    }
    return false;
}

int64_t ScreenStream::frameTime(const spa_buffer& buffer) const {
    const int64_t now = monotonicNowNs();
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(&buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header && header->pts > 0 && header->pts <= now && now - header->pts < kTrustedLagNs) {
        return header->pts;
    }
    return now;
}

void ScreenStream::end(const QString& detail) {
    if (ended_) {
        return;
    }
    ended_ = true;
    handlers_.ended(running_ ? Error{Error::Kind::captureLost,
                                     tr("The desktop stopped sharing the screen."), detail}
                             : Error{Error::Kind::failed,
                                     tr("The desktop's screen sharing did not start."), detail});
}

void ScreenStream::onStateChanged(void* self, pw_stream_state /*old*/, pw_stream_state state,
                                  const char* message) {
    static_cast<ScreenStream*>(self)->stateChanged(state, message);
}

void ScreenStream::onParamChanged(void* self, uint32_t id, const spa_pod* param) {
    if (id == SPA_PARAM_Format) {
        static_cast<ScreenStream*>(self)->formatChanged(param);
    }
}

void ScreenStream::onProcess(void* self) {
    static_cast<ScreenStream*>(self)->process();
}

void ScreenStream::onCoreError(void* self, uint32_t id, int /*seq*/, int res, const char* message) {
    if (id == PW_ID_CORE) {
        static_cast<ScreenStream*>(self)->end(
            QString("PipeWire: %1 (%2)").arg(message ? message : "", std::strerror(-res)));
    }
}

void ScreenStream::onGlobalRemoved(void* self, uint32_t id) {
    auto* stream = static_cast<ScreenStream*>(self);
    if (id == stream->node_) {
        stream->end("PipeWire: the shared screen's node went away");
    }
}

}  // namespace vantorel
