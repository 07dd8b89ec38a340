#pragma once

#include <string>

#include "platform/error.h"

namespace vantorel {

// The capture engine's own failures. Travels as an ErrorRef next to platform errors.
class RecorderError final : public Error {
  public:
    enum class Kind { cannotWrite, noDisplay, noFrames, writerFailed };

    // The file could not be created; wraps the writer's error.
    static ErrorRef cannotWrite(ErrorRef underlying);
    static ErrorRef noDisplay();
    static ErrorRef noFrames();
    static ErrorRef writerFailed();

    // The engine error behind `error`, or null when it is another kind of error.
    static const RecorderError* from(const ErrorRef& error);

    Kind kind() const { return kind_; }
    const ErrorRef& underlying() const { return underlying_; }

    std::string errorDescription() const;
    std::string localizedDescription() const override { return errorDescription(); }
    // The case name; for cannotWrite followed by the wrapped error's text in parentheses.
    std::string textualDescription() const override;

    RecorderError(Kind kind, ErrorRef underlying);

  private:
    Kind kind_;
    ErrorRef underlying_;
};

}  // namespace vantorel
