#include "platform/error.h"

#include <system_error>

namespace vantorel {

Error Error::fromErrno(Kind kind, const QString& text, int code) {
    return Error{kind, text, QString::fromStdString(std::generic_category().message(code))};
}

}  // namespace vantorel
