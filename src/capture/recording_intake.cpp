#include "capture/recording_intake.h"

#include <algorithm>

namespace vantorel {

RecordingIntake::RecordingIntake(Mp4Writer& writer, std::function<void(const Error&)> onFailure)
    : writer_(writer), onFailure_(std::move(onFailure)) {}

void RecordingIntake::take(const VideoFrame& frame) {
    std::lock_guard lock(mutex_);
    if (!writerHealthy() || !frame.complete) {
        return;
    }
    if (!sessionStart_) {
        sessionStart_ = frame.timeNs;
        writer_.begin(frame.timeNs);
    }
    if (writer_.appendVideo(frame)) {
        lastVideo_ = frame.timeNs;
    }
}

void RecordingIntake::take(SoundBlock block) {
    std::lock_guard lock(mutex_);
    if (!writerHealthy() || !sessionStart_ || block.timeNs < *sessionStart_) {
        return;
    }
    // A block the encoder cannot take at once is lost; the writer keeps the track continuous.
    static_cast<void>(writer_.appendSound(std::move(block)));
}

void RecordingIntake::sourceStopped(const Error& error) {
    std::lock_guard lock(mutex_);
    reportFailure(error);
}

bool RecordingIntake::writerHealthy() {
    if (reportedFailure_) {
        return false;
    }
    if (std::optional<Error> failure = writer_.failure()) {
        reportFailure(*failure);
        return false;
    }
    return true;
}

void RecordingIntake::reportFailure(const Error& error) {
    // The writer's failure and the source's own stop share this flag: the owner hears of at
    // most one failure per recording, whichever came first.
    if (reportedFailure_) {
        return;
    }
    reportedFailure_ = true;
    if (onFailure_) {
        onFailure_(error);
    }
}

std::optional<int64_t> RecordingIntake::sessionStart() const {
    std::lock_guard lock(mutex_);
    return sessionStart_;
}

int64_t RecordingIntake::sessionEnd(std::optional<int64_t> now) const {
    std::lock_guard lock(mutex_);
    const int64_t last = lastVideo_.value_or(sessionStart_.value_or(0));
    return now ? std::max(*now, last) : last;
}

}  // namespace vantorel
