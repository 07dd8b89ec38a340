#pragma once

#include <QRect>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>

#include "capture/capture_source.h"
#include "platform/frames/frame_pool.h"

#include "platform/wayland/pipewire_handles.h"

namespace vantorel {

// What to cut out of a monitor's stream: `region` of a monitor measured as `monitorSize`,
// delivered as frames of `frameSize`.
struct StreamCut {
    QRect region;
    QSize monitorSize;
    QSize frameSize;
    int frameRate = 30;
};

// A PipeWire screen stream from the portal's remote, read on the stream's own thread loop
// ("Vantorel.pwgrab"), the recording's one grab thread. Frames are cut from shared-memory
// buffers (BGRx or BGRA) into pictures of a FramePool; a buffer whose damage misses the region
// brings nothing new and is left out, since nothing is written for a repeat anyway.
class ScreenStream {
  public:
    struct Handlers {
        std::function<void(const VideoFrame&)> frame;  // grab thread
        std::function<void()> running;                 // grab thread, once: frames may come
        // Grab thread, once: the stream could not start, or it stopped by itself (the portal
        // back end, the compositor or PipeWire went away).
        std::function<void(const Error&)> ended;
    };

    // Connects to the remote `fd` (taken over) and asks for `node`. Null with `error` set when
    // not even that works. Owner's thread.
    static std::unique_ptr<ScreenStream> open(int fd, uint32_t node, const StreamCut& cut,
                                              Handlers handlers, std::optional<Error>& error);
    // Stops the thread: once it returns no handler runs and none will. Owner's thread.
    ~ScreenStream();

    ScreenStream(const ScreenStream&) = delete;
    ScreenStream& operator=(const ScreenStream&) = delete;

  private:
    struct Listeners;

    ScreenStream(const StreamCut& cut, Handlers handlers);
    std::optional<Error> connect(int fd, uint32_t node);

    // Grab thread, all of them.
    void formatChanged(const spa_pod* format);
    void stateChanged(int state, const char* message);
    void process();
    bool bringsNews(const spa_buffer& buffer) const;
    int64_t frameTime(const spa_buffer& buffer) const;
    void end(const QString& detail);

    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state,
                               const char* message);
    static void onParamChanged(void* self, uint32_t id, const spa_pod* param);
    static void onProcess(void* self);
    static void onCoreError(void* self, uint32_t id, int seq, int res, const char* message);
    static void onGlobalRemoved(void* self, uint32_t id);

    const StreamCut cut_;
    const Handlers handlers_;
    uint32_t node_ = 0;
    FramePool pool_;
    QSize streamSize_;
    QRect crop_;  // in the stream's pixels
    bool running_ = false;
    bool delivered_ = false;  // the first frame goes out whatever the damage says
    bool ended_ = false;

    // In this order: the hooks outlive the objects they are hooked to, and those their loop.
    std::unique_ptr<Listeners> listeners_;
    PipeWireThreadLoopPtr loop_;
    PipeWireContextPtr context_;
    PipeWireCorePtr core_;
    PipeWireRegistryPtr registry_;
    PipeWireStreamPtr stream_;
};

}  // namespace vantorel
