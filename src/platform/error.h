#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vantorel {

// A general error value. Errors travel as shared, immutable objects (ErrorRef), so the engine's
// own errors and the platform's errors can be passed around side by side and told apart by type.
class Error {
  public:
    virtual ~Error() = default;
    // One sentence for people.
    virtual std::string localizedDescription() const = 0;
    // The technical text shown as an alert's details.
    virtual std::string textualDescription() const = 0;
};

using ErrorRef = std::shared_ptr<const Error>;

// An error reported by a platform service: a domain, a code and the system's message.
class PlatformError final : public Error {
  public:
    // The capture service's code for a refused screen-capture permission.
    static constexpr int64_t kPermissionDeclined = -3801;

    PlatformError(std::string domain, int64_t code, std::string message);

    static ErrorRef make(std::string domain, int64_t code, std::string message);
    // An error in the POSIX domain for errno value `code`, with strerror's text unless given.
    static ErrorRef fromErrno(int code, const std::string& context = {});

    const std::string& domain() const { return domain_; }
    int64_t code() const { return code_; }
    const std::string& message() const { return message_; }

    std::string localizedDescription() const override { return message_; }
    // The system's own message: what a technical reader needs, without our bookkeeping.
    std::string textualDescription() const override { return message_; }

  private:
    std::string domain_;
    int64_t code_;
    std::string message_;
};

// The platform code of an error, when it is a platform error.
const PlatformError* asPlatformError(const ErrorRef& error);

}  // namespace vantorel
