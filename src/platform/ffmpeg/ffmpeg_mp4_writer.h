#pragma once

#include <atomic>
#include <limits>
#include <memory>
#include <mutex>

#include "capture/mp4_writer.h"
#include "platform/ffmpeg/yuv_pictures.h"

namespace vantorel {

class AudioEncoder;
class Mp4Muxer;
class TrackEncoder;
class TrackThread;
class VideoEncoder;

// How many items each track's queue holds before appends are refused. Five pictures carry the
// encoder over its slow moments (its first frames, a key frame at 3840x2160) without a frame
// lost, and cost little while they are not needed: buffers beyond the few YuvPictures keeps are
// made only while the queue is that long (3 MB each at 1920x1080). Sound blocks are small and
// many.
struct Mp4WriterQueues {
    int video = 5;
    int sound = 32;
};

// The MP4 writer on FFmpeg: H.264 (libx264) or HEVC (libx265), and AAC.
//
// Threads: one per track, "Vantorel.video" and "Vantorel.audio", each serving its track's
// queue (plus the encoder library's own workers). appendVideo() converts the picture on the
// caller's thread before queueing it (see YuvPictures). open() sets each encoder up on its track's
// thread, so the owner never waits for x264; the last track to be set up writes the header and
// answers. finish() drains both tracks; the last to be done writes the index and answers.
// Appends are refused until the writer is open. An answer not yet given when cancel() returns
// is never given.
class FfmpegMp4Writer final : public Mp4Writer {
  public:
    FfmpegMp4Writer(const Mp4WriterSettings& settings, std::unique_ptr<Mp4Muxer> muxer,
                    Mp4WriterQueues queues);
    // As cancel(): a file that is not complete is removed. Owner's thread, never from an answer.
    ~FfmpegMp4Writer() override;

    FfmpegMp4Writer(const FfmpegMp4Writer&) = delete;
    FfmpegMp4Writer& operator=(const FfmpegMp4Writer&) = delete;

    void open(Answer answer) override;
    void begin(int64_t startNs) override;
    bool appendVideo(const VideoFrame& frame) override;
    bool appendSound(SoundBlock block) override;
    std::optional<Error> failure() const override;
    void finish(int64_t endNs, Answer answer) override;
    // Owner's thread, never from an answer.
    void cancel() override;

  private:
    enum class Phase { created, opening, open, finishing };
    static constexpr int64_t kNotBegun = std::numeric_limits<int64_t>::min();

    // Each runs on the encoder's own track thread.
    void setUp(TrackEncoder& encoder, int index, const Answer& answer);
    void encodeVideo(const AVFrame& picture, int64_t offsetNs);
    // On the video thread when it had nothing to encode for half a second.
    void keepFileCurrent();
    void encodeSound(const SoundBlock& block);
    void finishTrack(TrackEncoder& encoder, int64_t endNs, const Answer& answer);
    // Whether the caller is the last track through the current step.
    bool lastThrough();
    // Runs `answer` with the outcome, unless the writer was cancelled.
    void answerWith(const Answer& answer);

    // Any thread. The first failure wins; it removes the file.
    void fail(const Error& error);
    bool accepts() const;
    int64_t sinceStart(int64_t timeNs) const;
    int trackCount() const;

    const std::unique_ptr<Mp4Muxer> muxer_;
    const std::unique_ptr<VideoEncoder> video_;
    const std::unique_ptr<AudioEncoder> sound_;
    YuvPictures pictures_;  // made on the appending thread
    std::atomic<Phase> phase_{Phase::created};
    std::atomic<int64_t> startNs_{kNotBegun};
    std::atomic<int> tracksBehind_{0};  // tracks still to get through set-up or finishing
    std::atomic<bool> stopped_{false};  // failed or cancelled: tracks do no more work
    mutable std::mutex mutex_;
    std::optional<Error> failure_;
    bool cancelled_ = false;
    // Last: their threads use everything above.
    const std::unique_ptr<TrackThread> videoThread_;
    const std::unique_ptr<TrackThread> soundThread_;
};

// Creates the file exclusively, then a writer for it; answers why when the file cannot be
// created (EEXIST when anything is at the path). Also turns FFmpeg's own logging down to
// warnings, so that the encoders do not print their statistics after every recording.
Mp4WriterFactory makeFfmpegMp4WriterFactory(Mp4WriterQueues queues = {});

}  // namespace vantorel
