#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>

namespace vantorel {

// Which file a path names (device and inode), so that a file this program created can be
// removed later without ever removing another file that has taken its name since.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path`; nothing when there is none.
std::optional<FileIdentity> identityOf(const std::filesystem::path& path);
// The identity of an open file.
std::optional<FileIdentity> identityOf(int fd);

// Removes `path` only while it still names the file `identity` describes. A file that is gone
// or cannot be removed is not an error here.
void removeIfStill(const std::filesystem::path& path, const std::optional<FileIdentity>& identity);

}  // namespace vantorel
