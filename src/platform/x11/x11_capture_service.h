#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/audio_source.h"
#include "platform/capture_service.h"
#include "platform/x11/x11_capture_stream.h"

namespace vantorel {

class SerialQueue;

struct X11CaptureOptions {
    std::string displayName;  // empty: $DISPLAY
    // Device pixels per point of the monitor with this name (the application passes its
    // screens' devicePixelRatio). Unset, or an answer that is not positive, means 1.
    std::function<double(const std::string& monitorName)> scaleForMonitor;
    // Makes the source of the system's sound for streams that capture it.
    AudioSourceFactory audioSourceFactory;
    // How often a stream whose region does not change still delivers an idle frame.
    std::chrono::nanoseconds idleFrameInterval = std::chrono::seconds(1);
};

// The screen-capture service on an X server. Displays are the RandR monitors (their display
// number is the monitor's name atom, see displayIdForMonitorName), applications the processes
// named by top-level windows' _NET_WM_PID. Queries run on a thread of the service's own,
// through a connection of its own; each stream opens another. Thread-safe.
class X11CaptureService final : public CaptureService {
  public:
    explicit X11CaptureService(X11CaptureOptions options = {});
    ~X11CaptureService() override;

    X11CaptureService(const X11CaptureService&) = delete;
    X11CaptureService& operator=(const X11CaptureService&) = delete;

    // Any thread; the completion runs on the service's thread.
    void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                             ShareableContentCompletion completion) override;
    // Any thread. Talks to no server until the stream is started.
    std::shared_ptr<CaptureStream> makeStream(ContentFilterRef filter,
                                              const StreamConfiguration& configuration,
                                              std::weak_ptr<StreamDelegate> delegate) override;
    // The same, typed, for callers that want the stream's statistics.
    std::shared_ptr<X11CaptureStream> makeX11Stream(ContentFilterRef filter,
                                                    const StreamConfiguration& configuration,
                                                    std::weak_ptr<StreamDelegate> delegate);

  private:
    struct Shared;

    // Shared with the queued queries, so that the service may be let go of from a completion.
    std::shared_ptr<Shared> shared_;
    std::shared_ptr<SerialQueue> queue_;
};

}  // namespace vantorel
