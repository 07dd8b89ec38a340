#include "capture/recorder_settings.h"

#include <algorithm>

namespace vantorel {

int64_t averageVideoBitRate(int width, int height, int frameRate) {
    // Formed in floating point so that large sizes cannot overflow before the clamp; truncated,
    // not rounded: 1920x1080 at 30 comes out at 6,220,800.
    const double wanted = static_cast<double>(width) * height * frameRate * 0.1;
    return static_cast<int64_t>(std::clamp(wanted, static_cast<double>(kMinimumVideoBitRate),
                                           static_cast<double>(kMaximumVideoBitRate)));
}

bool usesCavlc(int width, int height, int frameRate, unsigned cores) {
    constexpr double kMostPixelsPerSecondPerCore = 50e6;
    const double pixelsPerSecond = static_cast<double>(width) * height * frameRate;
    return pixelsPerSecond > kMostPixelsPerSecondPerCore * std::max(cores, 1u);
}

Mp4WriterSettings writerSettingsFor(const RecorderConfig& config, unsigned cores) {
    const CaptureRequest& capture = config.capture;
    const int width = capture.frameSize.width();
    const int height = capture.frameSize.height();
    Mp4WriterSettings settings;
    settings.path = config.outputPath;
    settings.video.codec = width <= kLargestH264Side && height <= kLargestH264Side
                               ? VideoTrackSettings::Codec::h264High
                               : VideoTrackSettings::Codec::hevc;
    settings.video.width = width;
    settings.video.height = height;
    settings.video.frameRate = capture.frameRate;
    settings.video.bitRate = averageVideoBitRate(width, height, capture.frameRate);
    settings.video.keyFrameInterval = 2 * capture.frameRate;
    settings.video.cavlc = usesCavlc(width, height, capture.frameRate, cores);
    if (capture.capturesSound) {
        settings.sound = SoundTrackSettings{};
    }
    return settings;
}

}  // namespace vantorel
