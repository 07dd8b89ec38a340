#include "capture/recorder_error.h"

#include <memory>

namespace vantorel {

RecorderError::RecorderError(Kind kind, ErrorRef underlying)
    : kind_(kind), underlying_(std::move(underlying)) {}

ErrorRef RecorderError::cannotWrite(ErrorRef underlying) {
    return std::make_shared<const RecorderError>(Kind::cannotWrite, std::move(underlying));
}
ErrorRef RecorderError::noDisplay() {
    return std::make_shared<const RecorderError>(Kind::noDisplay, nullptr);
}
ErrorRef RecorderError::noFrames() {
    return std::make_shared<const RecorderError>(Kind::noFrames, nullptr);
}
ErrorRef RecorderError::writerFailed() {
    return std::make_shared<const RecorderError>(Kind::writerFailed, nullptr);
}

const RecorderError* RecorderError::from(const ErrorRef& error) {
    return dynamic_cast<const RecorderError*>(error.get());
}

std::string RecorderError::errorDescription() const {
    switch (kind_) {
        case Kind::cannotWrite:
            return "The video file could not be created: " +
                   (underlying_ ? underlying_->localizedDescription() : std::string());
        case Kind::noDisplay:
            return "No display was found to record.";
        case Kind::noFrames:
            return "No video frames were captured, so no file was saved.";
        case Kind::writerFailed:
            return "The video file could not be written.";
    }
    return {};
}

std::string RecorderError::textualDescription() const {
    switch (kind_) {
        case Kind::cannotWrite:
            return "cannotWrite(" +
                   (underlying_ ? underlying_->textualDescription() : std::string()) + ")";
        case Kind::noDisplay:
            return "noDisplay";
        case Kind::noFrames:
            return "noFrames";
        case Kind::writerFailed:
            return "writerFailed";
    }
    return {};
}

}  // namespace vantorel
