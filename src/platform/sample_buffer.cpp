#include "platform/sample_buffer.h"

namespace vantorel {

SampleBufferRef SampleBuffer::makeVideo(MediaTime presentationTime,
                                        std::shared_ptr<const PixelBuffer> pixels,
                                        std::optional<std::vector<Attachments>> attachments) {
    std::shared_ptr<SampleBuffer> buffer(new SampleBuffer());
    buffer->valid_ = pixels != nullptr;
    buffer->presentationTime_ = presentationTime;
    buffer->pixels_ = std::move(pixels);
    buffer->attachments_ = std::move(attachments);
    return buffer;
}

SampleBufferRef SampleBuffer::makeAudio(MediaTime presentationTime,
                                        std::shared_ptr<const AudioBlock> audio) {
    std::shared_ptr<SampleBuffer> buffer(new SampleBuffer());
    buffer->valid_ = audio != nullptr;
    buffer->presentationTime_ = presentationTime;
    buffer->audio_ = std::move(audio);
    return buffer;
}

SampleBufferRef SampleBuffer::makeInvalid() {
    return SampleBufferRef(new SampleBuffer());
}

}  // namespace vantorel
