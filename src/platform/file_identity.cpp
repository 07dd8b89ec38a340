#include "platform/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vantorel {

namespace {

std::optional<FileIdentity> identityFrom(int result, const struct stat& info) {
    if (result != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

}  // namespace

std::optional<FileIdentity> identityOf(const std::filesystem::path& path) {
    struct stat info {};
    // Not followed: a link put in the file's place is another file.
    const int result = ::lstat(path.c_str(), &info);
    return identityFrom(result, info);
}

std::optional<FileIdentity> identityOf(int fd) {
    struct stat info {};
    const int result = ::fstat(fd, &info);
    return identityFrom(result, info);
}

void removeIfStill(const std::filesystem::path& path, const std::optional<FileIdentity>& identity) {
    if (identity && identityOf(path) == identity) {
        ::unlink(path.c_str());
    }
}

}  // namespace vantorel
