#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/capture_service.h"

namespace vantorel::testing {

// What a test keeps of one delivered video frame.
struct FrameRecord {
    std::optional<FrameStatus> status;  // absent when the attachments do not say
    MediaTime time;
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    std::vector<uint8_t> pixels;  // a copy, so the pooled buffer goes back at once

    // B, G, R, A of one pixel.
    uint32_t bgra(int x, int y) const;
    // 0xRRGGBB of one pixel (alpha left out).
    uint32_t rgb(int x, int y) const;
};

// Output and delegate of a stream under test. Frames and stops are recorded; tests wait for
// what they expect with a generous limit that only guards against hanging.
class StreamProbe : public StreamOutput, public StreamDelegate {
  public:
    static constexpr std::chrono::seconds kPatience{20};

    void streamDidOutput(CaptureStream& stream, const SampleBufferRef& buffer,
                         StreamOutputType type) override;
    void streamDidStop(CaptureStream& stream, const ErrorRef& error) override;

    // Keep every delivered buffer (and so its pooled pixels) until release().
    void holdBuffers(bool hold);
    void release();

    // Waits until `done` holds for the records; false if it never did.
    bool waitFor(const std::function<bool(const std::vector<FrameRecord>&)>& done);
    bool waitForFrames(size_t count);
    bool waitForStop();
    bool waitForAudio(size_t count);

    std::vector<FrameRecord> frames() const;
    std::vector<ErrorRef> stops() const;
    std::vector<SampleBufferRef> audio() const;
    size_t frameCount() const;
    void clearFrames();

  private:
    template <typename Pred>
    bool waitUntil(Pred pred);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<FrameRecord> frames_;
    std::vector<SampleBufferRef> held_;
    std::vector<SampleBufferRef> audio_;
    std::vector<ErrorRef> stops_;
    bool hold_ = false;
};

// Runs startCapture/stopCapture and waits for the first completion; `calls` counts them all.
using CallCounter = std::shared_ptr<std::atomic<int>>;
ErrorRef startAndWait(CaptureStream& stream, CallCounter calls = nullptr);
ErrorRef stopAndWait(CaptureStream& stream, CallCounter calls = nullptr);

}  // namespace vantorel::testing
