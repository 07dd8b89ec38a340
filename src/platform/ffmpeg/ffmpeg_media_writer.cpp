#include "platform/ffmpeg/ffmpeg_media_writer.h"

#include <vector>

#include "platform/ffmpeg/audio_encoder.h"
#include "platform/ffmpeg/ffmpeg_writer_input.h"
#include "platform/ffmpeg/mp4_muxer.h"
#include "platform/ffmpeg/video_encoder.h"
#include "platform/ffmpeg/writer_state.h"
#include "platform/serial_queue.h"

namespace vantorel {

// What the finishing task needs after the writer itself may be gone.
struct FfmpegMediaWriter::Core {
    explicit Core(std::unique_ptr<Mp4Muxer> fileMuxer) : muxer(std::move(fileMuxer)) {}

    const std::shared_ptr<WriterState> state = std::make_shared<WriterState>();
    std::unique_ptr<Mp4Muxer> muxer;
    std::vector<std::shared_ptr<FfmpegWriterInput>> inputs;
    MediaTime sessionStart;
    MediaTime sessionEnd;
    bool finishing = false;
    // Last, so that it is destroyed first.
    SerialQueue finisher{"Vantorel.writer"};
};

FfmpegMediaWriter::FfmpegMediaWriter(std::unique_ptr<Mp4Muxer> muxer,
                                     WriterQueueLengths queueLengths)
    : queueLengths_(queueLengths), core_(std::make_shared<Core>(std::move(muxer))) {}

FfmpegMediaWriter::~FfmpegMediaWriter() {
    if (core_->finishing) {
        return;  // the finishing task keeps the core and closes the file
    }
    for (const auto& input : core_->inputs) {
        input->cancel();
    }
    if (core_->state->status() == WriterStatus::unknown) {
        core_->muxer->discard();
    } else {
        core_->muxer->close();
    }
}

std::shared_ptr<WriterInput> FfmpegMediaWriter::makeVideoInput(
    const VideoOutputSettings& settings) {
    return std::make_shared<FfmpegWriterInput>(std::make_unique<VideoEncoder>(settings),
                                               queueLengths_.video, core_->state, core_.get());
}

std::shared_ptr<WriterInput> FfmpegMediaWriter::makeAudioInput(
    const AudioOutputSettings& settings) {
    return std::make_shared<FfmpegWriterInput>(std::make_unique<AudioEncoder>(settings),
                                               queueLengths_.audio, core_->state, core_.get());
}

bool FfmpegMediaWriter::canAddInput(const WriterInput& input) const {
    const auto* ours = dynamic_cast<const FfmpegWriterInput*>(&input);
    if (ours == nullptr || ours->owner() != core_.get() || !ours->isUsable() ||
        core_->state->status() != WriterStatus::unknown) {
        return false;
    }
    for (const auto& added : core_->inputs) {
        if (added->mediaType() == ours->mediaType()) {
            return false;  // one track of each kind
        }
    }
    return true;
}

void FfmpegMediaWriter::addInput(std::shared_ptr<WriterInput> input) {
    if (input && canAddInput(*input)) {
        core_->inputs.push_back(std::static_pointer_cast<FfmpegWriterInput>(std::move(input)));
    }
}

bool FfmpegMediaWriter::startWriting() {
    if (core_->state->status() != WriterStatus::unknown) {
        return false;
    }
    ErrorRef error;
    for (const auto& input : core_->inputs) {
        if ((error = input->open(*core_->muxer))) {
            break;
        }
    }
    if (!error) {
        error = core_->muxer->writeHeader();
    }
    if (error) {
        core_->state->fail(std::move(error));
        core_->muxer->discard();
        return false;
    }
    return core_->state->advance(WriterStatus::unknown, WriterStatus::writing);
}

void FfmpegMediaWriter::startSession(MediaTime time) {
    if (core_->state->status() != WriterStatus::writing || core_->sessionStart.isValid()) {
        return;
    }
    core_->sessionStart = time;
    for (const auto& input : core_->inputs) {
        input->beginSession(time);
    }
}

void FfmpegMediaWriter::endSession(MediaTime time) {
    core_->sessionEnd = time;
}

void FfmpegMediaWriter::finishWriting(std::function<void()> completion) {
    std::optional<int64_t> endNs;
    if (core_->sessionStart.isValid() && core_->sessionEnd.isValid()) {
        endNs = std::max<int64_t>(
            0, core_->sessionEnd.nanoseconds() - core_->sessionStart.nanoseconds());
    }
    const bool first = !core_->finishing;
    core_->finishing = true;
    core_->finisher.async([core = core_, endNs, first, completion = std::move(completion)] {
        if (first) {
            finishOnWriterThread(*core, endNs);
        }
        if (completion) {
            completion();
        }
    });
}

void FfmpegMediaWriter::finishOnWriterThread(Core& core, std::optional<int64_t> endNs) {
    for (const auto& input : core.inputs) {
        input->finish(endNs);
    }
    if (core.state->status() != WriterStatus::writing) {
        core.muxer->close();
        return;
    }
    if (ErrorRef error = core.muxer->finish()) {
        core.state->fail(std::move(error));
        return;
    }
    core.state->advance(WriterStatus::writing, WriterStatus::completed);
}

void FfmpegMediaWriter::cancelWriting() {
    if (core_->finishing) {
        return;
    }
    if (!core_->state->advance(WriterStatus::writing, WriterStatus::cancelled)) {
        core_->state->advance(WriterStatus::unknown, WriterStatus::cancelled);
    }
    for (const auto& input : core_->inputs) {
        input->cancel();
    }
    core_->muxer->close();
}

WriterStatus FfmpegMediaWriter::status() const {
    return core_->state->status();
}

ErrorRef FfmpegMediaWriter::error() const {
    return core_->state->error();
}

}  // namespace vantorel
