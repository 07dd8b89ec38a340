#include "capture/fakes/fake_media_writer.h"

#include <algorithm>
#include <cerrno>
#include <fstream>

namespace vantorel::testing {

FakeMediaWriter::FakeMediaWriter(std::filesystem::path path, std::shared_ptr<CallLog> log)
    : path_(std::move(path)),
      log_(std::move(log)),
      finisher_(std::make_unique<SerialQueue>("fake.writer")) {
    // Made with the writer, as a real writer makes its file.
    std::ofstream(path_, std::ios::binary | std::ios::app);
}

std::shared_ptr<WriterInput> FakeMediaWriter::makeVideoInput(const VideoOutputSettings& settings) {
    log_->add("makeVideoInput");
    std::lock_guard lock(mutex_);
    videoSettings_ = settings;
    videoInput_ = std::make_shared<FakeWriterInput>(MediaType::video, log_);
    return videoInput_;
}

std::shared_ptr<WriterInput> FakeMediaWriter::makeAudioInput(const AudioOutputSettings& settings) {
    log_->add("makeAudioInput");
    std::lock_guard lock(mutex_);
    audioSettings_ = settings;
    audioInput_ = std::make_shared<FakeWriterInput>(MediaType::audio, log_);
    return audioInput_;
}

bool FakeMediaWriter::refuses(MediaType type) const {
    return std::find(refusedInputs_.begin(), refusedInputs_.end(), type) != refusedInputs_.end();
}

bool FakeMediaWriter::canAddInput(const WriterInput& input) const {
    std::lock_guard lock(mutex_);
    return !refuses(input.mediaType());
}

void FakeMediaWriter::addInput(std::shared_ptr<WriterInput> input) {
    log_->add(input->mediaType() == MediaType::video ? "addInput(video)" : "addInput(audio)");
    std::lock_guard lock(mutex_);
    added_.push_back(input->mediaType());
}

bool FakeMediaWriter::startWriting() {
    log_->add("startWriting");
    std::lock_guard lock(mutex_);
    if (refuseStart_) {
        status_ = WriterStatus::failed;
        error_ = startError_;
        return false;
    }
    std::ofstream file(path_, std::ios::binary | std::ios::app);
    file << "fake movie header";
    if (!file) {
        status_ = WriterStatus::failed;
        error_ = PlatformError::fromErrno(ENOENT, path_.string());
        return false;
    }
    status_ = WriterStatus::writing;
    return true;
}

void FakeMediaWriter::startSession(MediaTime time) {
    log_->add("startSession");
    std::lock_guard lock(mutex_);
    sessionStarts_.push_back(time);
}

void FakeMediaWriter::endSession(MediaTime time) {
    log_->add("endSession");
    std::lock_guard lock(mutex_);
    sessionEnd_ = time;
}

void FakeMediaWriter::finishWriting(std::function<void()> completion) {
    log_->add("finishWriting");
    {
        std::lock_guard lock(mutex_);
        ++finishCount_;
    }
    finisher_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        {
            std::lock_guard lock(self->mutex_);
            if (self->failFinishing_) {
                self->status_ = WriterStatus::failed;
                self->error_ = self->finishError_;
            } else {
                std::ofstream(self->path_, std::ios::binary | std::ios::app) << " trailer";
                self->status_ = WriterStatus::completed;
            }
        }
        // Let go of the completion once it has run, as the writer contract asks.
        auto run = std::move(completion);
        run();
    });
}

void FakeMediaWriter::cancelWriting() {
    log_->add(std::filesystem::exists(path_) ? "cancelWriting(file present)"
                                             : "cancelWriting(no file)");
    std::lock_guard lock(mutex_);
    ++cancelCount_;
    status_ = WriterStatus::cancelled;
}

WriterStatus FakeMediaWriter::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

ErrorRef FakeMediaWriter::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void FakeMediaWriter::refuseInput(MediaType type, ErrorRef error) {
    std::lock_guard lock(mutex_);
    refusedInputs_.push_back(type);
    error_ = std::move(error);
}

void FakeMediaWriter::refuseStartWriting(ErrorRef error) {
    std::lock_guard lock(mutex_);
    refuseStart_ = true;
    startError_ = std::move(error);
}

void FakeMediaWriter::fail(ErrorRef error) {
    std::lock_guard lock(mutex_);
    status_ = WriterStatus::failed;
    error_ = std::move(error);
}

void FakeMediaWriter::failFinishing(ErrorRef error) {
    std::lock_guard lock(mutex_);
    failFinishing_ = true;
    finishError_ = std::move(error);
}

void FakeMediaWriter::forceStatus(WriterStatus status) {
    std::lock_guard lock(mutex_);
    status_ = status;
}

std::shared_ptr<FakeWriterInput> FakeMediaWriter::videoInput() const {
    std::lock_guard lock(mutex_);
    return videoInput_;
}

std::shared_ptr<FakeWriterInput> FakeMediaWriter::audioInput() const {
    std::lock_guard lock(mutex_);
    return audioInput_;
}

std::optional<VideoOutputSettings> FakeMediaWriter::videoSettings() const {
    std::lock_guard lock(mutex_);
    return videoSettings_;
}

std::optional<AudioOutputSettings> FakeMediaWriter::audioSettings() const {
    std::lock_guard lock(mutex_);
    return audioSettings_;
}

std::vector<MediaType> FakeMediaWriter::addedInputs() const {
    std::lock_guard lock(mutex_);
    return added_;
}

std::vector<MediaTime> FakeMediaWriter::sessionStarts() const {
    std::lock_guard lock(mutex_);
    return sessionStarts_;
}

std::optional<MediaTime> FakeMediaWriter::sessionEnd() const {
    std::lock_guard lock(mutex_);
    return sessionEnd_;
}

int FakeMediaWriter::finishCount() const {
    std::lock_guard lock(mutex_);
    return finishCount_;
}

int FakeMediaWriter::cancelCount() const {
    std::lock_guard lock(mutex_);
    return cancelCount_;
}

}  // namespace vantorel::testing
