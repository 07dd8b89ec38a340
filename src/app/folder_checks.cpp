#include "app/folder_checks.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

#include "platform/error.h"

namespace vantorel {

namespace {

FolderProblem problemFor(const QString& folder, const QString& details) {
    return FolderProblem{"Can't save to this folder",
                         "The folder \"" + QFileInfo(folder).fileName() +
                             "\" can't be written. Pick another one under Settings, Save Location.",
                         details};
}

}  // namespace

std::optional<FolderProblem> prepareFolder(const QString& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder.toStdString(), error);
    if (error) {
        const ErrorRef cause = PlatformError::fromErrno(error.value());
        return problemFor(folder,
                          folder + "\n" + QString::fromStdString(cause->textualDescription()));
    }
    // access() asks the kernel for this user, so mount flags and ACLs count as well as modes.
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
        return std::nullopt;
    }
    return problemFor(folder, "Not writable: " + folder);
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
