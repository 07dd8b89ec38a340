#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/file_identity.h"

struct AVIOContext;

namespace vantorel {

// The file a recording is written to, and the FFmpeg I/O context that writes it.
//
// The file is created exclusively: a file that is already at the path, whoever put it there,
// is never opened, truncated or removed. FFmpeg's own "file:" protocol would truncate it.
class OutputFile {
  public:
    // Creates the file; null with the system's errno (EEXIST among others) when that fails.
    static std::unique_ptr<OutputFile> create(const std::filesystem::path& path, int& errorCode);
    // Closes the file if it is still open.
    ~OutputFile();

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // For the muxer, on one thread at a time.
    AVIOContext* io() const { return io_; }
    // The open file, readable too, for rewriting boxes in place once FFmpeg has written them.
    int fd() const { return fd_; }
    // Writes out what FFmpeg still buffers and closes the file; the errno of the first failed
    // write or of closing, or 0.
    int close();
    // Closes the file and removes it, but only while its path still names the file made here.
    void discard();

    const std::filesystem::path& path() const { return path_; }

  private:
    OutputFile(std::filesystem::path path, int fd);
    static int write(void* opaque, uint8_t* data, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);

    std::filesystem::path path_;
    int fd_ = -1;
    std::optional<FileIdentity> identity_;
    int writeErrno_ = 0;  // the first failed write's errno
    AVIOContext* io_ = nullptr;
};

}  // namespace vantorel
