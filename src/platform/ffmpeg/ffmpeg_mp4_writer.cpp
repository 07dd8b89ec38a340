#include "platform/ffmpeg/ffmpeg_mp4_writer.h"

#include <QFile>

#include "platform/ffmpeg/audio_encoder.h"
#include "platform/ffmpeg/av_error.h"
#include "platform/ffmpeg/mp4_muxer.h"
#include "platform/ffmpeg/track_thread.h"
#include "platform/ffmpeg/video_encoder.h"
#include "platform/memory_policy.h"

extern "C" {
#include <libavutil/log.h>
}

namespace vantorel {

namespace {
constexpr int kVideoIndex = 0;
constexpr int kSoundIndex = 1;
}  // namespace

FfmpegMp4Writer::FfmpegMp4Writer(const Mp4WriterSettings& settings, std::unique_ptr<Mp4Muxer> muxer,
                                 Mp4WriterQueues queues)
    : muxer_(std::move(muxer)),
      video_(std::make_unique<VideoEncoder>(settings.video)),
      sound_(settings.sound ? std::make_unique<AudioEncoder>(*settings.sound) : nullptr),
      pictures_(VideoEncoder::pictureWidth(settings.video),
                VideoEncoder::pictureHeight(settings.video)),
      // A still screen gives the video track nothing to encode for a while: what was shown
      // still reaches the file within a second or two.
      videoThread_(std::make_unique<TrackThread>("Vantorel.video", queues.video,
                                                 [this] { keepFileCurrent(); })),
      soundThread_(settings.sound ? std::make_unique<TrackThread>("Vantorel.audio", queues.sound)
                                  : nullptr) {}

FfmpegMp4Writer::~FfmpegMp4Writer() {
    cancel();
}

void FfmpegMp4Writer::open(Answer answer) {
    Phase expected = Phase::created;
    if (!phase_.compare_exchange_strong(expected, Phase::opening)) {
        return;
    }
    tracksBehind_ = trackCount();
    videoThread_->postStep([this, answer] { setUp(*video_, kVideoIndex, answer); });
    if (sound_) {
        soundThread_->postStep([this, answer] { setUp(*sound_, kSoundIndex, answer); });
    }
}

void FfmpegMp4Writer::setUp(TrackEncoder& encoder, int index, const Answer& answer) {
    if (index == kVideoIndex) {
        settleMemoryFor(pictures_.width(), pictures_.height());
    }
    if (const int result = encoder.open(*muxer_, index); result < 0) {
        fail(creationError(result));
    }
    if (index == kVideoIndex) {
        pictures_.prepare();  // before the capture starts, which waits for this answer
    }
    if (!lastThrough()) {
        return;
    }
    if (!stopped_) {
        if (const int result = muxer_->writeHeader(); result < 0) {
            fail(creationError(result));
        }
    }
    if (!stopped_) {
        phase_ = Phase::open;
    }
    answerWith(answer);
}

void FfmpegMp4Writer::begin(int64_t startNs) {
    int64_t expected = kNotBegun;
    startNs_.compare_exchange_strong(expected, startNs);
}

bool FfmpegMp4Writer::appendVideo(const VideoFrame& frame) {
    if (!accepts() || !frame.pixels || !videoThread_->hasRoomForItem()) {
        return false;
    }
    // Converted here, so that the capture has its buffer back when this returns (see
    // YuvPictures). std::function wants a copyable task, hence the shared picture.
    std::shared_ptr<AVFrame> picture(pictures_.make(frame).release(), FrameDeleter{});
    if (!picture) {
        fail(writingError(AVERROR(ENOMEM)));
        return false;
    }
    // On the track's thread, times count from the file's start.
    return videoThread_->tryPostItem(
        [this, picture, offsetNs = sinceStart(frame.timeNs)] { encodeVideo(*picture, offsetNs); });
}

bool FfmpegMp4Writer::appendSound(SoundBlock block) {
    if (!sound_ || !accepts()) {
        return false;
    }
    block.timeNs = sinceStart(block.timeNs);
    return soundThread_->tryPostItem([this, block = std::move(block)] { encodeSound(block); });
}

void FfmpegMp4Writer::encodeVideo(const AVFrame& picture, int64_t offsetNs) {
    if (stopped_) {
        return;
    }
    if (const int result = video_->encode(picture, offsetNs); result < 0) {
        fail(writingError(result));
    }
}

// The last picture is encoded again half a second on. That pushes the pictures before it out of
// the encoder (x264 holds one per frame thread but the first) and out of the wait for the next
// packet that gives a packet its duration, and lets the muxer pass on the sound held back to
// interleave with them; then the fragment is cut.
void FfmpegMp4Writer::keepFileCurrent() {
    if (phase_ != Phase::open || stopped_) {
        return;
    }
    constexpr int64_t kStillRepeatNs = 500'000'000;
    int result = video_->repeatPicture(kStillRepeatNs);
    if (result >= 0) {
        result = muxer_->flush();
    }
    if (result < 0) {
        fail(writingError(result));
    }
}

void FfmpegMp4Writer::encodeSound(const SoundBlock& block) {
    if (stopped_) {
        return;
    }
    if (const int result = sound_->encode(block, block.timeNs); result < 0) {
        fail(writingError(result));
    }
}

std::optional<Error> FfmpegMp4Writer::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

void FfmpegMp4Writer::finish(int64_t endNs, Answer answer) {
    if (phase_.exchange(Phase::finishing) != Phase::open) {
        // Not open, or its opening failed: there is no file to end, and the reason is the answer.
        fail(writingError(AVERROR(EINVAL)));
        videoThread_->postStep([this, answer] { answerWith(answer); });
        return;
    }
    if (startNs_ == kNotBegun) {
        begin(endNs);
    }
    const int64_t end = std::max<int64_t>(0, sinceStart(endNs));
    tracksBehind_ = trackCount();
    videoThread_->postStep([this, end, answer] { finishTrack(*video_, end, answer); });
    if (sound_) {
        soundThread_->postStep([this, end, answer] { finishTrack(*sound_, end, answer); });
    }
}

void FfmpegMp4Writer::finishTrack(TrackEncoder& encoder, int64_t endNs, const Answer& answer) {
    if (!stopped_) {
        if (const int result = encoder.finish(endNs); result < 0) {
            fail(writingError(result));
        }
    }
    if (!lastThrough()) {
        return;
    }
    if (!stopped_) {
        if (const int result = muxer_->finish(); result < 0) {
            fail(writingError(result));
        }
    }
    answerWith(answer);
}

bool FfmpegMp4Writer::lastThrough() {
    return tracksBehind_.fetch_sub(1) == 1;
}

void FfmpegMp4Writer::answerWith(const Answer& answer) {
    std::optional<Error> outcome;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) {
            return;
        }
        outcome = failure_;
    }
    if (answer) {
        answer(outcome);
    }
}

void FfmpegMp4Writer::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    stopped_ = true;
    videoThread_->stop();
    if (soundThread_) {
        soundThread_->stop();
    }
    muxer_->discard();
}

void FfmpegMp4Writer::fail(const Error& error) {
    {
        std::lock_guard lock(mutex_);
        if (failure_ || cancelled_) {
            return;
        }
        failure_ = error;
    }
    stopped_ = true;
    muxer_->discard();
}

bool FfmpegMp4Writer::accepts() const {
    return phase_ == Phase::open && startNs_ != kNotBegun && !stopped_;
}

int64_t FfmpegMp4Writer::sinceStart(int64_t timeNs) const {
    return timeNs - startNs_;
}

int FfmpegMp4Writer::trackCount() const {
    return sound_ ? 2 : 1;
}

Mp4WriterFactory makeFfmpegMp4WriterFactory(Mp4WriterQueues queues) {
    av_log_set_level(AV_LOG_WARNING);
    return [queues](const Mp4WriterSettings& settings,
                    std::optional<Error>& error) -> std::unique_ptr<Mp4Writer> {
        int code = 0;
        std::unique_ptr<Mp4Muxer> muxer = Mp4Muxer::create(
            QFile::encodeName(settings.path).toStdString(), settings.sound ? 2 : 1, code);
        if (!muxer) {
            error = creationError(AVERROR(code));
            return nullptr;
        }
        return std::make_unique<FfmpegMp4Writer>(settings, std::move(muxer), queues);
    };
}

}  // namespace vantorel
