#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "capture/capture_source.h"
#include "platform/error.h"

namespace vantorel {

// How the video track is encoded.
struct VideoTrackSettings {
    enum class Codec { h264High, hevc };

    Codec codec = Codec::h264High;
    int width = 0;
    int height = 0;
    int frameRate = 30;         // expected; frames keep their own times
    int64_t bitRate = 0;        // average, bits per second
    int keyFrameInterval = 60;  // frames, at most
    bool cavlc = false;         // H.264 entropy coding: CAVLC, else CABAC (see usesCavlc)
};

// How the sound track is encoded: AAC.
struct SoundTrackSettings {
    int sampleRate = 48000;
    int channels = 2;
    int64_t bitRate = 128000;
};

struct Mp4WriterSettings {
    QString path;
    VideoTrackSettings video;
    std::optional<SoundTrackSettings> sound;  // no sound track when absent
};

// Writes one MPEG-4 file: a video track and, when asked for, a sound track.
//
// The file is created by the writer, exclusively: nothing already at the path is touched. Each
// track encodes on a thread of its own behind a short queue; appending never waits for the
// encoder, it refuses instead while the queue is full. On any failure, and on cancel, the
// writer removes the file it created (never another file that took its name since).
class Mp4Writer {
  public:
    using Answer = std::function<void(std::optional<Error>)>;

    virtual ~Mp4Writer() = default;

    // Sets up the encoders and writes the file's header, off the caller's thread; `answer` runs
    // once, on a writer thread. Called once, on the owner's thread.
    virtual void open(Answer answer) = 0;
    // The file's timeline begins at this host time: every frame and block is placed relative to
    // it. Called once, before the first append, from the thread that appends video.
    virtual void begin(int64_t startNs) = 0;
    // False when the frame or block was not taken (queue full, writer failed, or finishing).
    // Video from one thread, sound from one (possibly another) thread.
    virtual bool appendVideo(const VideoFrame& frame) = 0;
    virtual bool appendSound(SoundBlock block) = 0;
    // Why writing failed, once it has. Thread-safe.
    virtual std::optional<Error> failure() const = 0;
    // Encodes what is queued, ends the timeline at `endNs` (the last frame lasts until then),
    // writes the index and closes the file; `answer` runs once, on a writer thread, with nothing
    // when the file is complete, or the reason (the file is then removed). Called once, on the
    // owner's thread, after the last append.
    virtual void finish(int64_t endNs, Answer answer) = 0;
    // Stops at once and removes the file. Called on the owner's thread.
    virtual void cancel() = 0;
};

// Creates the file for `settings`, or answers why it cannot (an existing file, a folder that
// cannot be written). Any thread.
using Mp4WriterFactory = std::function<std::unique_ptr<Mp4Writer>(const Mp4WriterSettings& settings,
                                                                  std::optional<Error>& error)>;

}  // namespace vantorel
