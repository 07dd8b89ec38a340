#include "platform/pulse/pulse_record_session.h"

#include <pulse/error.h>
#include <pulse/sample.h>
#include <pulse/timeval.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/pulse/pulse_errors.h"

namespace vantorel {
namespace {

constexpr pa_sample_spec kSampleSpec{PA_SAMPLE_FLOAT32NE, PulseRecordSession::kSampleRate,
                                     PulseRecordSession::kChannels};
constexpr size_t kFrameBytes = sizeof(float) * PulseRecordSession::kChannels;

// Asking for "@DEFAULT_MONITOR@" lets the server pick the default output's monitor itself; it is
// only used when the output cannot be looked up.
constexpr const char* kDefaultMonitorAlias = "@DEFAULT_MONITOR@";
constexpr const char* kDefaultSinkAlias = "@DEFAULT_SINK@";

PulseRecordSession* sessionOf(void* userdata) {
    return static_cast<PulseRecordSession*>(userdata);
}

}  // namespace

PulseRecordSession::PulseRecordSession(AudioSource::BlockHandler onBlock,
                                       AudioSource::LossHandler onLost)
    : onBlock_(std::move(onBlock)), onLost_(std::move(onLost)) {}

PulseRecordSession::~PulseRecordSession() {
    silence();
    if (!loop_) {
        return;
    }
    {
        PulseMainloopLock lock(loop_.get());
        if (stream_) {
            pa_stream_set_read_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_suspended_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_moved_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
            pa_stream_disconnect(stream_.get());
        }
        if (context_) {
            pa_context_set_state_callback(context_.get(), nullptr, nullptr);
            pa_context_disconnect(context_.get());
        }
    }
    // Joins the loop's thread; the stream and context are released after it, by the members'
    // order of destruction, when nothing can call into them any more.
    pa_threaded_mainloop_stop(loop_.get());
}

ErrorRef PulseRecordSession::open(const PulseSourceOptions& options) {
    loop_.reset(pa_threaded_mainloop_new());
    if (!loop_) {
        return pulseSetupError("no main loop");
    }
    pa_threaded_mainloop_set_name(loop_.get(), "Vantorel.sound");
    context_.reset(pa_context_new(pa_threaded_mainloop_get_api(loop_.get()), "Vantorel"));
    if (!context_) {
        return pulseSetupError("no context");
    }
    pa_context_set_state_callback(context_.get(), &PulseRecordSession::onContextState, this);
    if (pa_threaded_mainloop_start(loop_.get()) < 0) {
        return pulseSetupError("the main loop did not start");
    }

    PulseMainloopLock lock(loop_.get());
    if (ErrorRef error = connectContext(options.server)) {
        return error;
    }
    if (ErrorRef error = connectStream(defaultMonitorName(), options.fragmentMilliseconds)) {
        return error;
    }
    // Still under the lock, so a failure cannot slip in between this check and going live:
    // either open fails, or the loss is reported through the handler.
    if (pa_context_get_state(context_.get()) != PA_CONTEXT_READY ||
        pa_stream_get_state(stream_.get()) != PA_STREAM_READY) {
        return pulseLostError(pa_context_errno(context_.get()));
    }
    Phase expected = Phase::opening;
    phase_.compare_exchange_strong(expected, Phase::live);
    return nullptr;
}

void PulseRecordSession::silence() {
    phase_.store(Phase::silenced);
}

bool PulseRecordSession::isSilenced() const {
    return phase_.load() == Phase::silenced;
}

bool PulseRecordSession::isOwnThread() const {
    return loop_ && pa_threaded_mainloop_in_thread(loop_.get()) != 0;
}

ErrorRef PulseRecordSession::connectContext(const std::string& server) {
    // Never start a server of our own: recording sound must not change the user's desktop.
    if (pa_context_connect(context_.get(), server.empty() ? nullptr : server.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return pulseUnreachableError(pa_context_errno(context_.get()));
    }
    waitUntil([this] {
        const pa_context_state_t state = pa_context_get_state(context_.get());
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (pa_context_get_state(context_.get()) != PA_CONTEXT_READY) {
        return pulseUnreachableError(pa_context_errno(context_.get()));
    }
    return nullptr;
}

std::string PulseRecordSession::defaultMonitorName() {
    monitorName_.clear();
    PulseOperationPtr lookup(pa_context_get_sink_info_by_name(
        context_.get(), kDefaultSinkAlias, &PulseRecordSession::onSinkInfo, this));
    if (lookup) {
        waitUntil([this, &lookup] {
            return pa_operation_get_state(lookup.get()) != PA_OPERATION_RUNNING ||
                   !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()));
        });
    }
    return monitorName_.empty() ? kDefaultMonitorAlias : monitorName_;
}

ErrorRef PulseRecordSession::connectStream(const std::string& sourceName,
                                           int fragmentMilliseconds) {
    stream_.reset(pa_stream_new(context_.get(), "System sound", &kSampleSpec, nullptr));
    if (!stream_) {
        return pulseRecordingRefusedError(pa_context_errno(context_.get()));
    }
    pa_stream_set_state_callback(stream_.get(), &PulseRecordSession::onStreamState, this);
    pa_stream_set_read_callback(stream_.get(), &PulseRecordSession::onReadable, this);
    pa_stream_set_suspended_callback(stream_.get(), &PulseRecordSession::onDiscontinuity, this);
    pa_stream_set_moved_callback(stream_.get(), &PulseRecordSession::onDiscontinuity, this);

    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(-1);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(
        static_cast<pa_usec_t>(fragmentMilliseconds) * PA_USEC_PER_MSEC, &kSampleSpec));
    // Small fragments need ADJUST_LATENCY, or the server sizes its own buffers from them and
    // still sends large chunks. Timing updates with interpolation let every block be placed on
    // the host clock without a round trip to the server.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
    if (pa_stream_connect_record(stream_.get(), sourceName.c_str(), &attributes, flags) < 0) {
        return pulseRecordingRefusedError(pa_context_errno(context_.get()));
    }
    waitUntil([this] {
        const pa_stream_state_t state = pa_stream_get_state(stream_.get());
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    });
    if (pa_stream_get_state(stream_.get()) != PA_STREAM_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()))) {
            return pulseLostError(pa_context_errno(context_.get()));
        }
        return pulseRecordingRefusedError(pa_context_errno(context_.get()));
    }
    return nullptr;
}

void PulseRecordSession::waitUntil(const std::function<bool()>& done) {
    // The state and operation callbacks signal the loop; each wake-up re-checks.
    while (!done()) {
        pa_threaded_mainloop_wait(loop_.get());
    }
}

void PulseRecordSession::readAvailable() {
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

void PulseRecordSession::deliver(const void* data, size_t bytes) {
    const auto frames = static_cast<int64_t>(bytes / kFrameBytes);
    // Placed even while silenced, so that the timeline never sees a gap it did not hear.
    const int64_t startNs = timeline_.place(measuredStartNs(), frames);
    if (phase_.load() == Phase::silenced || frames == 0 || !onBlock_) {
        return;
    }
    auto block = std::make_shared<AudioBlock>();
    block->sampleRate = kSampleRate;
    block->channels = kChannels;
    // A hole (no data) is sound the server lost; it is kept as silence of the same length.
    block->samples.assign(static_cast<size_t>(frames) * kChannels, 0.0f);
    if (data != nullptr) {
        std::memcpy(block->samples.data(), data, static_cast<size_t>(frames) * kFrameBytes);
    }
    onBlock_(SampleBuffer::makeAudio(MediaTime::fromNanoseconds(startNs), std::move(block)));
}

// When the block's first frame was captured: it came through the source's own buffer and the
// connection (the timing update's source and transport latency), and has been waiting here
// behind nothing, since blocks are read in order; everything still buffered here, this block
// included, was captured after it. So it started that long before now.
//
// libpulse's own pa_stream_get_latency() is no help here: its interpolated stream time counts
// from the moment the stream was set up, not from when sound began to flow, and on a null
// sink's monitor that made blocks look more than half a second older than they were.
int64_t PulseRecordSession::measuredStartNs() const {
    const int64_t now = clock_.now().nanoseconds();
    pa_usec_t upstream = 0;
    if (const pa_timing_info* timing = pa_stream_get_timing_info(stream_.get())) {
        upstream = timing->source_usec + timing->transport_usec;
    }
    const size_t readable = pa_stream_readable_size(stream_.get());
    const pa_usec_t buffered =
        readable == static_cast<size_t>(-1) ? 0 : pa_bytes_to_usec(readable, &kSampleSpec);
    return now - static_cast<int64_t>(upstream + buffered) * 1000;
}

void PulseRecordSession::noticeFailure() {
    if (phase_.load() != Phase::live || lossReported_) {
        return;
    }
    lossReported_ = true;
    if (onLost_) {
        onLost_(pulseLostError(pa_context_errno(context_.get())));
    }
}

void PulseRecordSession::onContextState(pa_context* context, void* userdata) {
    PulseRecordSession* self = sessionOf(userdata);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        self->noticeFailure();
    }
    pa_threaded_mainloop_signal(self->loop_.get(), 0);
}

void PulseRecordSession::onStreamState(pa_stream* stream, void* userdata) {
    PulseRecordSession* self = sessionOf(userdata);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        self->noticeFailure();
    }
    pa_threaded_mainloop_signal(self->loop_.get(), 0);
}

void PulseRecordSession::onReadable(pa_stream* /*stream*/, size_t /*bytes*/, void* userdata) {
    sessionOf(userdata)->readAvailable();
}

// A suspended output sends nothing, and another device keeps other time: either way the next
// block starts a new stretch of the timeline rather than following the last one.
void PulseRecordSession::onDiscontinuity(pa_stream* /*stream*/, void* userdata) {
    sessionOf(userdata)->timeline_.restart();
}

void PulseRecordSession::onSinkInfo(pa_context* /*context*/, const pa_sink_info* info, int eol,
                                    void* userdata) {
    PulseRecordSession* self = sessionOf(userdata);
    if (eol == 0 && info != nullptr && info->monitor_source_name != nullptr) {
        self->monitorName_ = info->monitor_source_name;
    }
    pa_threaded_mainloop_signal(self->loop_.get(), 0);
}

}  // namespace vantorel
