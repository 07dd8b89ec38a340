#include "platform/ffmpeg/av_error.h"

#include <array>

extern "C" {
#include <libavutil/error.h>
}

namespace vantorel {

namespace {
// errno values are small positive numbers; FFmpeg's own codes are negated four-character tags.
constexpr int kLargestErrno = 4095;
}  // namespace

ErrorRef errorFromAv(int code) {
    if (code < 0 && -code <= kLargestErrno) {
        return PlatformError::fromErrno(-code);
    }
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return PlatformError::make("FFmpeg", code, text.data());
}

ErrorRef ffmpegError(const std::string& message) {
    return PlatformError::make("FFmpeg", AVERROR_UNKNOWN, message);
}

}  // namespace vantorel
