#include "app/folder_checks.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>

#include <filesystem>
#include <system_error>

namespace vantorel {

std::optional<QString> prepareFolder(const QString& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder.toStdString(), error);
    if (error) {
        return folder + "\n" + QString::fromStdString(error.message());
    }
    // access() asks the kernel for this user, so mount flags and ACLs count as well as modes.
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
        return std::nullopt;
    }
    return "Not writable: " + folder;
}

std::optional<int64_t> freeBytes(const QString& path) {
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    // f_bavail: the blocks an unprivileged user may still use, not the root reserve.
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

bool isLowOnSpace(const std::optional<int64_t>& free) {
    return free && *free < kLowSpaceLimit;
}

}  // namespace vantorel
