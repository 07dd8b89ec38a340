#include "app/key_names.h"

#include <cstring>

namespace vantorel {

QString LinuxKeyNames::translate(const char* context, const char* sourceText,
                                 const char* /*disambiguation*/, int /*n*/) const {
    if (std::strcmp(context, "QShortcut") == 0 && std::strcmp(sourceText, "Meta") == 0) {
        return QStringLiteral("Super");
    }
    return {};
}

}  // namespace vantorel
