#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/error.h"

namespace vantorel {

// What one recording captures: a rectangle of one monitor, delivered as frames of a given size.
struct CaptureRequest {
    QString monitor;  // the monitor's name, as the display server and Qt's QScreen::name() give it
    QRect region;     // device pixels, relative to the monitor's top-left corner
    QSize frameSize;  // pixels of the delivered frames; the region is scaled when they differ
    int frameRate = 30;
    bool showsCursor = true;
    bool capturesSound = false;  // the system's sound, from the default output's monitor
};

// One captured picture. `complete` frames bring new content; the others only repeat the last
// one (the source sends one now and then while nothing changes), and are never written.
struct VideoFrame {
    int64_t timeNs = 0;  // host clock (CLOCK_MONOTONIC), when the picture was taken
    bool complete = false;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes from one row to the next
    // 32-bit B,G,R,X pixels: the fourth byte is undefined (as an X server or a compositor leaves
    // it) and never read. The memory belongs to the source, which takes it back when the last
    // holder lets go.
    std::shared_ptr<const uint8_t> pixels;
};

// A stretch of the system's sound: interleaved 32-bit float samples.
struct SoundBlock {
    int64_t timeNs = 0;  // host clock, when its first sample was played
    int sampleRate = 48000;
    int channels = 2;
    std::vector<float> samples;

    int64_t frameCount() const {
        return channels > 0 ? static_cast<int64_t>(samples.size()) / channels : 0;
    }
};

// Receives what a source captures, on the source's own threads: frames from one thread, sound
// from another, and each call returns at once (it must not wait for encoding).
class CaptureSink {
  public:
    virtual ~CaptureSink() = default;
    virtual void take(const VideoFrame& frame) = 0;
    virtual void take(SoundBlock block) = 0;
    // The source stopped by itself (display or sound server gone). Called at most once.
    virtual void sourceStopped(const Error& error) = 0;
};

// Captures one monitor's region, and the system's sound when asked for, for one recording: an
// X11 grab, or the desktop portal's PipeWire stream on Wayland.
class CaptureSource {
  public:
    using StartAnswer = std::function<void(std::optional<Error>)>;

    virtual ~CaptureSource() = default;
    // Starts delivering to `sink`, which outlives the capture. `answer` runs once, on a thread of
    // the source's own, with nothing when capture runs or the reason it cannot. Called once, on
    // the owner's thread; returns at once.
    virtual void start(const CaptureRequest& request, CaptureSink& sink, StartAnswer answer) = 0;
    // Stops capturing. Once it returns no sink call is running and none will follow, so every
    // frame and block captured before the stop has reached the sink. Called on the owner's
    // thread, also after a failed start; more than once does no harm.
    virtual void stop() = 0;
};

using CaptureSourceFactory = std::function<std::unique_ptr<CaptureSource>()>;

}  // namespace vantorel
