#include "stream_probe.h"

#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

namespace vantorel::testing {

uint32_t FrameRecord::bgra(int x, int y) const {
    uint32_t value = 0;
    std::memcpy(&value, pixels.data() + static_cast<size_t>(y) * bytesPerRow + 4 * x, 4);
    return value;
}

uint32_t FrameRecord::rgb(int x, int y) const {
    return bgra(x, y) & 0xFFFFFF;
}

void StreamProbe::streamDidOutput(CaptureStream&, const SampleBufferRef& buffer,
                                  StreamOutputType type) {
    std::lock_guard lock(mutex_);
    if (type == StreamOutputType::audio) {
        audio_.push_back(buffer);
    } else {
        FrameRecord record;
        record.time = buffer->presentationTime();
        const auto& attachments = buffer->sampleAttachments();
        if (attachments && !attachments->empty()) {
            auto it = attachments->front().find(kFrameInfoStatus);
            if (it != attachments->front().end() && std::holds_alternative<int64_t>(it->second)) {
                record.status = static_cast<FrameStatus>(std::get<int64_t>(it->second));
            }
        }
        if (const auto& pixels = buffer->pixels()) {
            record.width = pixels->width;
            record.height = pixels->height;
            record.bytesPerRow = pixels->bytesPerRow;
            record.pixels = pixels->bytes;
        }
        frames_.push_back(std::move(record));
        if (hold_) {
            held_.push_back(buffer);
        }
    }
    changed_.notify_all();
}

void StreamProbe::streamDidStop(CaptureStream&, const ErrorRef& error) {
    std::lock_guard lock(mutex_);
    stops_.push_back(error);
    changed_.notify_all();
}

void StreamProbe::holdBuffers(bool hold) {
    std::lock_guard lock(mutex_);
    hold_ = hold;
}

void StreamProbe::release() {
    std::vector<SampleBufferRef> released;
    std::lock_guard lock(mutex_);
    released.swap(held_);
}

template <typename Pred>
bool StreamProbe::waitUntil(Pred pred) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, pred);
}

bool StreamProbe::waitFor(const std::function<bool(const std::vector<FrameRecord>&)>& done) {
    return waitUntil([&] { return done(frames_); });
}

bool StreamProbe::waitForFrames(size_t count) {
    return waitUntil([&] { return frames_.size() >= count; });
}

bool StreamProbe::waitForStop() {
    return waitUntil([&] { return !stops_.empty(); });
}

bool StreamProbe::waitForAudio(size_t count) {
    return waitUntil([&] { return audio_.size() >= count; });
}

std::vector<FrameRecord> StreamProbe::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<ErrorRef> StreamProbe::stops() const {
    std::lock_guard lock(mutex_);
    return stops_;
}

std::vector<SampleBufferRef> StreamProbe::audio() const {
    std::lock_guard lock(mutex_);
    return audio_;
}

size_t StreamProbe::frameCount() const {
    std::lock_guard lock(mutex_);
    return frames_.size();
}

void StreamProbe::clearFrames() {
    std::lock_guard lock(mutex_);
    frames_.clear();
}

namespace {

ErrorRef runAndWait(const std::function<void(CaptureCompletion)>& operation, CallCounter calls) {
    if (!calls) {
        calls = std::make_shared<std::atomic<int>>(0);
    }
    auto promise = std::make_shared<std::promise<ErrorRef>>();
    std::future<ErrorRef> result = promise->get_future();
    auto answered = std::make_shared<std::atomic<bool>>(false);
    operation([calls, promise, answered](ErrorRef error) {
        calls->fetch_add(1);
        if (!answered->exchange(true)) {
            promise->set_value(std::move(error));
        }
    });
    if (result.wait_for(StreamProbe::kPatience) != std::future_status::ready) {
        throw std::runtime_error("completion never ran");
    }
    return result.get();
}

}  // namespace

ErrorRef startAndWait(CaptureStream& stream, CallCounter calls) {
    return runAndWait([&](CaptureCompletion done) { stream.startCapture(std::move(done)); },
                      std::move(calls));
}

ErrorRef stopAndWait(CaptureStream& stream, CallCounter calls) {
    return runAndWait([&](CaptureCompletion done) { stream.stopCapture(std::move(done)); },
                      std::move(calls));
}

}  // namespace vantorel::testing
