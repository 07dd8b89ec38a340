#include "platform/ffmpeg/av_error.h"

#include <QCoreApplication>

#include <array>

extern "C" {
#include <libavutil/error.h>
}

namespace vantorel {

namespace {
// errno values are small positive numbers; FFmpeg's own codes are negated four-character tags.
constexpr int kLargestErrno = 4095;

Error withMessage(Error::Kind kind, const char* text, int code) {
    return Error{kind, QCoreApplication::translate("Mp4Writer", text), avMessage(code)};
}
}  // namespace

QString avMessage(int code) {
    if (code < 0 && -code <= kLargestErrno) {
        return Error::fromErrno(Error::Kind::failed, {}, -code).detail;
    }
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return QString::fromUtf8(text.data());
}

Error creationError(int code) {
    return withMessage(Error::Kind::cannotWrite,
                       QT_TRANSLATE_NOOP("Mp4Writer", "The video file could not be created."),
                       code);
}

Error writingError(int code) {
    return withMessage(Error::Kind::writerFailed,
                       QT_TRANSLATE_NOOP("Mp4Writer", "The video file could not be written."),
                       code);
}

}  // namespace vantorel
