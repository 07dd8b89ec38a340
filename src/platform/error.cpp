#include "platform/error.h"

#include <system_error>

namespace vantorel {

PlatformError::PlatformError(std::string domain, int64_t code, std::string message)
    : domain_(std::move(domain)), code_(code), message_(std::move(message)) {}

ErrorRef PlatformError::make(std::string domain, int64_t code, std::string message) {
    return std::make_shared<const PlatformError>(std::move(domain), code, std::move(message));
}

ErrorRef PlatformError::fromErrno(int code, const std::string& context) {
    std::string message = std::generic_category().message(code);
    if (!context.empty()) {
        message = context + ": " + message;
    }
    return make("POSIX", code, std::move(message));
}

const PlatformError* asPlatformError(const ErrorRef& error) {
    return dynamic_cast<const PlatformError*>(error.get());
}

}  // namespace vantorel
