#pragma once

#include <pulse/introspect.h>

#include <functional>
#include <optional>
#include <string>

#include "capture/capture_source.h"
#include "platform/error.h"
#include "platform/pulse/block_timeline.h"
#include "platform/pulse/pulse_handles.h"

namespace vantorel {

// The system's sound through a PulseAudio (or PipeWire-pulse) server: the default output's
// monitor, as 48 kHz stereo float blocks of about 10 ms, each stamped with the host time of its
// first frame. One connection with one record stream, served by libpulse's threaded main loop
// ("Vantorel.sound"), the thread on which everything below is answered.
class SoundClient {
  public:
    using BlockHandler = std::function<void(SoundBlock)>;
    using LossHandler = std::function<void(const Error&)>;
    using Answer = std::function<void(std::optional<Error>)>;

    static constexpr int kSampleRate = 48000;
    static constexpr int kChannels = 2;

    // `server`: a libpulse server string such as "unix:/run/user/1000/pulse/native"; empty for
    // the one the environment names.
    explicit SoundClient(std::string server = {});
    ~SoundClient();

    SoundClient(const SoundClient&) = delete;
    SoundClient& operator=(const SoundClient&) = delete;

    // Connects in the background and returns at once. `answer` runs once: with nothing when
    // sound flows, from then on blocks reach `onBlock` and a loss of the server `onLost` (once);
    // or with why it cannot record. All on the sound thread (the answer on the caller's when not
    // even a connection could be tried). Called once, on the owner's thread.
    void start(BlockHandler onBlock, LossHandler onLost, Answer answer);
    // Disconnects. Once it returns no handler runs and none will. Called on the owner's thread,
    // never from a handler; more than once does no harm.
    void stop();

  private:
    enum class Phase { connecting, recording, ended };

    // The rest runs on the sound thread, or with the main loop's lock held.
    void findMonitor();
    void connectStream(const char* source);
    void readAvailable();
    void deliver(const void* data, size_t bytes);
    int64_t measuredStartNs() const;
    void fail();

    static void onContextState(pa_context* context, void* userdata);
    static void onSinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* userdata);
    static void onStreamState(pa_stream* stream, void* userdata);
    static void onReadable(pa_stream* stream, size_t bytes, void* userdata);
    static void onDiscontinuity(pa_stream* stream, void* userdata);

    const std::string server_;
    BlockHandler onBlock_;
    LossHandler onLost_;
    Answer answer_;
    Phase phase_ = Phase::connecting;
    bool monitorFound_ = false;
    BlockTimeline timeline_{kSampleRate};
    // In this order, so that the stream and the context go before their loop.
    PulseMainloopPtr loop_;
    PulseContextPtr context_;
    PulseStreamPtr stream_;
};

}  // namespace vantorel
