#include "platform/pulse/sound_client.h"

#include <pulse/error.h>
#include <pulse/sample.h>
#include <pulse/timeval.h>

#include <QCoreApplication>

#include <cstring>
#include <utility>

#include "platform/host_clock.h"

namespace vantorel {

namespace {

constexpr pa_sample_spec kSampleSpec{PA_SAMPLE_FLOAT32NE, SoundClient::kSampleRate,
                                     SoundClient::kChannels};
constexpr size_t kFrameBytes = sizeof(float) * SoundClient::kChannels;
// Left to itself the server sends about two seconds at a time, far too coarse to keep sound
// next to the pictures.
constexpr pa_usec_t kFragment = 10 * PA_USEC_PER_MSEC;

SoundClient* clientOf(void* userdata) {
    return static_cast<SoundClient*>(userdata);
}

QString systemWords(int code) {
    // pa_strerror answers null for codes it does not know.
    const char* words = pa_strerror(code);
    return QString::fromUtf8(words != nullptr ? words : "Unknown error");
}

Error cannotRecord(int code) {
    return Error{
        Error::Kind::failed,
        QCoreApplication::translate("SoundClient", "The system sound could not be recorded."),
        systemWords(code)};
}

Error serverGone(int code) {
    return Error{Error::Kind::captureLost,
                 QCoreApplication::translate("SoundClient", "The sound server went away."),
                 systemWords(code)};
}

}  // namespace

SoundClient::SoundClient(std::string server) : server_(std::move(server)) {}

SoundClient::~SoundClient() {
    stop();
}

void SoundClient::start(BlockHandler onBlock, LossHandler onLost, Answer answer) {
    onBlock_ = std::move(onBlock);
    onLost_ = std::move(onLost);
    answer_ = std::move(answer);
    loop_.reset(pa_threaded_mainloop_new());
    if (loop_) {
        pa_threaded_mainloop_set_name(loop_.get(), "Vantorel.sound");
        context_.reset(pa_context_new(pa_threaded_mainloop_get_api(loop_.get()), "Vantorel"));
    }
    if (!context_ || pa_threaded_mainloop_start(loop_.get()) < 0) {
        context_.reset();
        loop_.reset();
        std::exchange(answer_, nullptr)(cannotRecord(PA_ERR_INTERNAL));
        return;
    }
    PulseMainloopLock lock(loop_.get());
    pa_context_set_state_callback(context_.get(), &SoundClient::onContextState, this);
    // Never start a server of our own: recording sound must not change the user's desktop.
    if (pa_context_connect(context_.get(), server_.empty() ? nullptr : server_.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        fail();
    }
}

void SoundClient::stop() {
    if (!loop_) {
        return;
    }
    {
        PulseMainloopLock lock(loop_.get());
        phase_ = Phase::ended;
        if (stream_) {
            pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_read_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_suspended_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_moved_callback(stream_.get(), nullptr, nullptr);
            pa_stream_disconnect(stream_.get());
        }
        pa_context_set_state_callback(context_.get(), nullptr, nullptr);
        pa_context_disconnect(context_.get());
    }
    // Joins the sound thread; the stream and the context are let go of when nothing can call
    // into them any more.
    pa_threaded_mainloop_stop(loop_.get());
    stream_.reset();
    context_.reset();
    loop_.reset();
}

void SoundClient::findMonitor() {
    // The default output's own monitor, rather than the server's default source, which may be
    // a microphone.
    PulseOperationPtr lookup(pa_context_get_sink_info_by_name(context_.get(), "@DEFAULT_SINK@",
                                                              &SoundClient::onSinkInfo, this));
    if (!lookup) {
        fail();
    }
}

void SoundClient::connectStream(const char* source) {
    stream_.reset(pa_stream_new(context_.get(), "System sound", &kSampleSpec, nullptr));
    if (!stream_) {
        fail();
        return;
    }
    pa_stream_set_state_callback(stream_.get(), &SoundClient::onStreamState, this);
    pa_stream_set_read_callback(stream_.get(), &SoundClient::onReadable, this);
    pa_stream_set_suspended_callback(stream_.get(), &SoundClient::onDiscontinuity, this);
    pa_stream_set_moved_callback(stream_.get(), &SoundClient::onDiscontinuity, this);

    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(-1);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragment, &kSampleSpec));
    // Small fragments need ADJUST_LATENCY, or the server sizes its own buffers from them and
    // still sends large chunks. Timing updates with interpolation let every block be placed on
    // the host clock without a round trip to the server.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
    if (pa_stream_connect_record(stream_.get(), source, &attributes, flags) < 0) {
        fail();
    }
}

void SoundClient::readAvailable() {
    for (;;) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream_.get(), &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        deliver(data, bytes);
        pa_stream_drop(stream_.get());
    }
}

void SoundClient::deliver(const void* data, size_t bytes) {
    const auto frames = static_cast<int64_t>(bytes / kFrameBytes);
    // Placed whatever happens next, so that the timeline never sees a gap it did not hear.
    const int64_t startNs = timeline_.place(measuredStartNs(), frames);
    if (phase_ != Phase::recording || frames == 0) {
        return;
    }
    SoundBlock block{startNs, kSampleRate, kChannels, {}};
    // A hole (no data) is sound the server lost; it is kept as silence of the same length.
    block.samples.assign(static_cast<size_t>(frames) * kChannels, 0.0f);
    if (data != nullptr) {
        std::memcpy(block.samples.data(), data, static_cast<size_t>(frames) * kFrameBytes);
    }
    onBlock_(std::move(block));
}

// When the block's first frame was captured: it came through the source's own buffer and the
// connection (the timing update's source and transport latency), and has been waiting here
// behind nothing, since blocks are read in order; everything still buffered here, this block
// included, was captured after it. So it started that long before now.
//
// libpulse's own pa_stream_get_latency() is no help here: its interpolated stream time counts
// from the moment the stream was set up, not from when sound began to flow, and on a null
// sink's monitor that made blocks look more than half a second older than they were.
int64_t SoundClient::measuredStartNs() const {
    const int64_t now = monotonicNowNs();
    pa_usec_t upstream = 0;
    if (const pa_timing_info* timing = pa_stream_get_timing_info(stream_.get())) {
        upstream = timing->source_usec + timing->transport_usec;
    }
    const size_t readable = pa_stream_readable_size(stream_.get());
    const pa_usec_t buffered =
        readable == static_cast<size_t>(-1) ? 0 : pa_bytes_to_usec(readable, &kSampleSpec);
    return now - static_cast<int64_t>(upstream + buffered) * 1000;
}

void SoundClient::fail() {
    const int code = pa_context_errno(context_.get());
    const Phase was = std::exchange(phase_, Phase::ended);
    if (was == Phase::connecting) {
        std::exchange(answer_, nullptr)(cannotRecord(code));
    } else if (was == Phase::recording) {
        onLost_(serverGone(code));
    }
}

void SoundClient::onContextState(pa_context* context, void* userdata) {
    SoundClient* self = clientOf(userdata);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY && self->phase_ == Phase::connecting) {
        self->findMonitor();
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        self->fail();
    }
}

void SoundClient::onSinkInfo(pa_context* /*context*/, const pa_sink_info* info, int eol,
                             void* userdata) {
    SoundClient* self = clientOf(userdata);
    if (self->phase_ != Phase::connecting || self->monitorFound_) {
        return;
    }
    if (eol == 0 && info != nullptr && info->monitor_source_name != nullptr) {
        self->monitorFound_ = true;
        self->connectStream(info->monitor_source_name);
    } else if (eol != 0) {
        // No default output to look up: let the server pick its default output's monitor.
        self->monitorFound_ = true;
        self->connectStream("@DEFAULT_MONITOR@");
    }
}

void SoundClient::onStreamState(pa_stream* stream, void* userdata) {
    SoundClient* self = clientOf(userdata);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY && self->phase_ == Phase::connecting) {
        self->phase_ = Phase::recording;
        std::exchange(self->answer_, nullptr)(std::nullopt);
    } else if (!PA_STREAM_IS_GOOD(state)) {
        self->fail();
    }
}

void SoundClient::onReadable(pa_stream* /*stream*/, size_t /*bytes*/, void* userdata) {
    clientOf(userdata)->readAvailable();
}

// A suspended output sends nothing, and another device keeps other time: either way the next
// block starts a new stretch of the timeline rather than following the last one.
void SoundClient::onDiscontinuity(pa_stream* /*stream*/, void* userdata) {
    clientOf(userdata)->timeline_.restart();
}

}  // namespace vantorel
