#include "capture/fakes/test_samples.h"

#include <memory>

namespace vantorel::testing {

namespace {

std::shared_ptr<const PixelBuffer> smallPicture() {
    auto pixels = std::make_shared<PixelBuffer>();
    pixels->width = 4;
    pixels->height = 2;
    pixels->bytesPerRow = 16;
    pixels->bytes.assign(32, 0x80);
    return pixels;
}

}  // namespace

MediaTime at(int64_t ms) {
    return MediaTime::fromNanoseconds(ms * 1'000'000);
}

SampleBufferRef frameWithStatus(MediaTime time, FrameStatus status) {
    Attachments first{{kFrameInfoStatus, static_cast<int64_t>(status)}};
    return frameWithAttachments(time, std::vector<Attachments>{first});
}

SampleBufferRef completeFrame(MediaTime time) {
    return frameWithStatus(time, FrameStatus::complete);
}

SampleBufferRef frameWithAttachments(MediaTime time,
                                     std::optional<std::vector<Attachments>> attachments) {
    return SampleBuffer::makeVideo(time, smallPicture(), std::move(attachments));
}

SampleBufferRef soundBlock(MediaTime time) {
    auto audio = std::make_shared<AudioBlock>();
    audio->samples.assign(2 * 480, 0.0F);
    return SampleBuffer::makeAudio(time, std::move(audio));
}

}  // namespace vantorel::testing
