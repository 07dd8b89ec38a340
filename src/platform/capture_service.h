#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/media_time.h"
#include "platform/sample_buffer.h"

namespace vantorel {

class SerialQueue;

// A rectangle in points (64-bit floats), origin at the top left, y downwards.
struct CaptureRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// One capturable display. `displayID` is the number the application also finds for its screen.
struct CaptureDisplay {
    uint32_t displayID = 0;
    CaptureRect frame;   // in global points
    double scale = 1.0;  // device pixels per point
};

// A running application that owns at least one top-level window.
struct RunningApplication {
    int64_t processID = 0;
    std::string applicationName;
};

struct CaptureWindow {
    uint32_t windowID = 0;
    int64_t processID = 0;
};

struct ShareableContent {
    std::vector<CaptureDisplay> displays;
    std::vector<RunningApplication> applications;
    std::vector<CaptureWindow> windows;
};

// What to capture: one display, less the windows of the excluded applications, except the
// windows listed as exceptions.
struct ContentFilter {
    CaptureDisplay display;
    std::vector<RunningApplication> excludedApplications;
    std::vector<CaptureWindow> exceptingWindows;
};
using ContentFilterRef = std::shared_ptr<const ContentFilter>;

inline constexpr uint32_t kPixelFormat32BGRA = 0x42475241;  // 'BGRA'

struct StreamConfiguration {
    CaptureRect sourceRect;  // in the display's points, relative to its top-left corner
    int64_t width = 0;       // pixels of the delivered frames
    int64_t height = 0;
    MediaTime minimumFrameInterval = MediaTime::make(1, 60);
    uint32_t pixelFormat = kPixelFormat32BGRA;
    bool showsCursor = true;
    int queueDepth = 3;  // frames in flight at most
    bool capturesAudio = false;
    int sampleRate = 48000;
    int channelCount = 2;
    bool excludesCurrentProcessAudio = false;
};

class CaptureStream;

// Receives the buffers of a stream, one at a time, on the queue it was registered with.
class StreamOutput {
  public:
    virtual ~StreamOutput() = default;
    virtual void streamDidOutput(CaptureStream& stream, const SampleBufferRef& buffer,
                                 StreamOutputType type) = 0;
};

// Told once when a stream stops without being asked to (lost display, lost server, ...).
// Called on a thread of the stream's own.
class StreamDelegate {
  public:
    virtual ~StreamDelegate() = default;
    virtual void streamDidStop(CaptureStream& stream, const ErrorRef& error) = 0;
};

using CaptureCompletion = std::function<void(ErrorRef)>;

// A running capture of one display. The stream holds its output and delegate weakly.
class CaptureStream {
  public:
    virtual ~CaptureStream() = default;
    // Registers `output` for buffers of `type`, delivered on `queue`. Returns an error or null.
    virtual ErrorRef addStreamOutput(std::weak_ptr<StreamOutput> output, StreamOutputType type,
                                     std::shared_ptr<SerialQueue> queue) = 0;
    // Each completion runs exactly once, on a thread of the stream's own, with null on success.
    virtual void startCapture(CaptureCompletion completion) = 0;
    virtual void stopCapture(CaptureCompletion completion) = 0;
};

using ShareableContentCompletion = std::function<void(std::optional<ShareableContent>, ErrorRef)>;

// The screen-capture service. Thread-safe.
class CaptureService {
  public:
    virtual ~CaptureService() = default;
    // Answers once, on a thread of the service's own, with the content or an error.
    virtual void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                                     ShareableContentCompletion completion) = 0;
    virtual std::shared_ptr<CaptureStream> makeStream(ContentFilterRef filter,
                                                      const StreamConfiguration& configuration,
                                                      std::weak_ptr<StreamDelegate> delegate) = 0;
};

}  // namespace vantorel
