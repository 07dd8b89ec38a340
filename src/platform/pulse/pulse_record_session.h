#pragma once

#include <pulse/introspect.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/audio_source.h"
#include "platform/host_clock.h"
#include "platform/pulse/block_timeline.h"
#include "platform/pulse/pulse_handles.h"
#include "platform/pulse/pulse_source_options.h"

namespace vantorel {

// One connection to the sound server with one record stream on the default output's monitor,
// served by a main-loop thread of its own ("Vantorel.sound"). Blocks and the loss of the server
// reach the handlers on that thread.
class PulseRecordSession {
  public:
    static constexpr int kSampleRate = 48000;
    static constexpr int kChannels = 2;

    PulseRecordSession(AudioSource::BlockHandler onBlock, AudioSource::LossHandler onLost);
    // Ends the main loop; nothing runs on its thread afterwards. Called on any thread but the
    // session's own, because the loop cannot wait for itself.
    ~PulseRecordSession();

    PulseRecordSession(const PulseRecordSession&) = delete;
    PulseRecordSession& operator=(const PulseRecordSession&) = delete;

    // Connects and waits until sound flows, or answers why it cannot. Blocks may reach the
    // handler before this returns. Called once, on any thread but the session's own.
    ErrorRef open(const PulseSourceOptions& options);
    // No handler starts after this returns; one already running on the session's thread
    // finishes. Called on any thread, including from a handler.
    void silence();
    bool isSilenced() const;
    // True on the session's main-loop thread. Called on any thread.
    bool isOwnThread() const;

  private:
    // Handlers run while `live` (and blocks already while `opening`); a loss before `live` is
    // the failure of `open` instead; after `silenced` nothing runs.
    enum class Phase { opening, live, silenced };

    ErrorRef connectContext(const std::string& server);
    std::string defaultMonitorName();
    ErrorRef connectStream(const std::string& sourceName, int fragmentMilliseconds);
    void waitUntil(const std::function<bool()>& done);

    void readAvailable();
    void deliver(const void* data, size_t bytes);
    int64_t measuredStartNs() const;
    void noticeFailure();

    static void onContextState(pa_context* context, void* userdata);
    static void onStreamState(pa_stream* stream, void* userdata);
    static void onReadable(pa_stream* stream, size_t bytes, void* userdata);
    static void onDiscontinuity(pa_stream* stream, void* userdata);
    static void onSinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* userdata);

    const AudioSource::BlockHandler onBlock_;
    const AudioSource::LossHandler onLost_;
    const MonotonicClock clock_;
    std::atomic<Phase> phase_{Phase::opening};
    // The rest is touched only with the main loop's lock held (or on its thread).
    bool lossReported_ = false;
    BlockTimeline timeline_{kSampleRate};
    std::string monitorName_;
    PulseMainloopPtr loop_;
    PulseContextPtr context_;
    PulseStreamPtr stream_;
};

}  // namespace vantorel
