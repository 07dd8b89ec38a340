#pragma once

#include <QString>

// Where logind's manager is found on the system bus.
namespace vantorel::logind {

inline const QString kService = QStringLiteral("org.freedesktop.login1");
inline const QString kPath = QStringLiteral("/org/freedesktop/login1");
inline const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace vantorel::logind
