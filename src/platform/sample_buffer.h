#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/media_time.h"

namespace vantorel {

// What a capture stream delivers a buffer for.
enum class StreamOutputType : int { screen = 0, audio = 1 };

// The status of a captured video frame. Only `complete` frames carry new content.
enum class FrameStatus : int64_t {
    complete = 0,
    idle = 1,
    blank = 2,
    suspended = 3,
    started = 4,
    stopped = 5
};

// Per-sample attachments of a video frame, keyed like the capture service's frame information.
using AttachmentValue = std::variant<int64_t, double, bool, std::string>;
using Attachments = std::map<std::string, AttachmentValue>;
inline constexpr const char* kFrameInfoStatus = "SCStreamFrameInfoStatus";

// 32-bit BGRA pixels, `bytesPerRow` apart. The memory may belong to a pool of the stream that
// delivered it: it goes back there when the last reference is released.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    std::vector<uint8_t> bytes;
};

// Interleaved 32-bit float sound samples.
struct AudioBlock {
    int sampleRate = 48000;
    int channels = 2;
    std::vector<float> samples;

    int64_t frameCount() const {
        return channels > 0 ? static_cast<int64_t>(samples.size()) / channels : 0;
    }
};

// One video frame or one block of sound with its presentation time on the host clock.
// Immutable once made; shared between the stream, the sample queue and the writer's threads.
class SampleBuffer {
  public:
    static std::shared_ptr<const SampleBuffer> makeVideo(
        MediaTime presentationTime, std::shared_ptr<const PixelBuffer> pixels,
        std::optional<std::vector<Attachments>> attachments);
    static std::shared_ptr<const SampleBuffer> makeAudio(MediaTime presentationTime,
                                                         std::shared_ptr<const AudioBlock> audio);
    // A buffer that failed to be made; it fails the validity test.
    static std::shared_ptr<const SampleBuffer> makeInvalid();

    bool isValid() const { return valid_; }
    MediaTime presentationTime() const { return presentationTime_; }
    // The per-sample attachments; absent when the buffer has none.
    const std::optional<std::vector<Attachments>>& sampleAttachments() const {
        return attachments_;
    }
    // The pixels of a video frame, or null.
    const std::shared_ptr<const PixelBuffer>& pixels() const { return pixels_; }
    // The samples of a sound block, or null.
    const std::shared_ptr<const AudioBlock>& audio() const { return audio_; }

  private:
    SampleBuffer() = default;

    bool valid_ = false;
    MediaTime presentationTime_;
    std::optional<std::vector<Attachments>> attachments_;
    std::shared_ptr<const PixelBuffer> pixels_;
    std::shared_ptr<const AudioBlock> audio_;
};

using SampleBufferRef = std::shared_ptr<const SampleBuffer>;

}  // namespace vantorel
