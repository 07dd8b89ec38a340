#include "capture/recorder_settings.h"

#include <algorithm>

namespace vantorel {

int64_t averageVideoBitRateFor(const RecorderConfig& config) {
    // The product is formed in floating point so that large sizes cannot overflow before the
    // clamp; truncation (not rounding) is what makes 1920x1080 at 30 come out at 6,220,800.
    const int64_t pixels = config.pixelWidth * config.pixelHeight;
    const double wanted = static_cast<double>(pixels) * static_cast<double>(config.frameRate) * 0.1;
    const double clamped = std::clamp(wanted, static_cast<double>(kMinimumVideoBitRate),
                                      static_cast<double>(kMaximumVideoBitRate));
    return static_cast<int64_t>(clamped);
}

VideoOutputSettings videoSettingsFor(const RecorderConfig& config) {
    VideoOutputSettings settings;
    settings.width = config.pixelWidth;
    settings.height = config.pixelHeight;
    settings.compression.averageBitRate = averageVideoBitRateFor(config);
    settings.compression.expectedSourceFrameRate = config.frameRate;
    settings.compression.maxKeyFrameInterval = 2 * config.frameRate;
    if (config.pixelWidth <= kLargestH264Side && config.pixelHeight <= kLargestH264Side) {
        settings.codec = VideoCodec::h264;
        settings.compression.profileLevel = VideoProfileLevel::h264HighAutoLevel;
    } else {
        settings.codec = VideoCodec::hevc;
        settings.compression.profileLevel.reset();
    }
    return settings;
}

AudioOutputSettings audioSettings() {
    AudioOutputSettings settings;
    settings.formatID = kAudioFormatMPEG4AAC;
    settings.numberOfChannels = 2;
    settings.sampleRate = 48000;
    settings.encoderBitRate = 128000;
    return settings;
}

StreamConfiguration streamConfigurationFor(const RecorderConfig& config) {
    StreamConfiguration stream;
    stream.sourceRect = config.sourceRect;
    stream.width = config.pixelWidth;
    stream.height = config.pixelHeight;
    stream.minimumFrameInterval = MediaTime::make(1, static_cast<int32_t>(config.frameRate));
    stream.pixelFormat = kPixelFormat32BGRA;
    stream.showsCursor = config.showsCursor;
    stream.queueDepth = kStreamQueueDepth;
    if (config.capturesAudio) {
        stream.capturesAudio = true;
        stream.sampleRate = 48000;
        stream.channelCount = 2;
        // The program's own alert sounds do not belong in the recording.
        stream.excludesCurrentProcessAudio = true;
    }
    return stream;
}

}  // namespace vantorel
