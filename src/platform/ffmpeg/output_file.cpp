#include "platform/ffmpeg/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/mem.h>
}

namespace vantorel {

namespace {
// FFmpeg's own file protocol buffers this much too.
constexpr int kBufferSize = 32 * 1024;
}  // namespace

OutputFile::OutputFile(std::filesystem::path path, int fd)
    : path_(std::move(path)), fd_(fd), identity_(identityOf(fd)) {}

std::unique_ptr<OutputFile> OutputFile::create(const std::filesystem::path& path, int& errorCode) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        errorCode = errno;
        return nullptr;
    }
    std::unique_ptr<OutputFile> file(new OutputFile(path, fd));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer != nullptr) {
        file->io_ = avio_alloc_context(buffer, kBufferSize, 1, file.get(), nullptr,
                                       &OutputFile::write, &OutputFile::seek);
    }
    if (file->io_ == nullptr) {
        av_free(buffer);
        file->discard();
        errorCode = ENOMEM;
        return nullptr;
    }
    return file;
}

OutputFile::~OutputFile() {
    static_cast<void>(close());
}

int OutputFile::write(void* opaque, uint8_t* data, int size) {
    auto* file = static_cast<OutputFile*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t result =
            ::write(file->fd_, data + written, static_cast<size_t>(size - written));
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            const int code = result < 0 ? errno : ENOSPC;
            if (file->writeErrno_ == 0) {
                file->writeErrno_ = code;
            }
            return AVERROR(code);
        }
        written += static_cast<int>(result);
    }
    return written;
}

int64_t OutputFile::seek(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<OutputFile*>(opaque);
    if ((whence & AVSEEK_SIZE) != 0) {
        struct stat info {};
        return ::fstat(file->fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
    }
    const off_t position = ::lseek(file->fd_, offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : static_cast<int64_t>(position);
}

int OutputFile::close() {
    if (fd_ < 0) {
        return 0;
    }
    if (io_ != nullptr) {
        avio_flush(io_);
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    int code = writeErrno_;
    // A network file system may report a failed write only now.
    if (::close(fd_) != 0 && code == 0) {
        code = errno;
    }
    fd_ = -1;
    return code;
}

void OutputFile::discard() {
    static_cast<void>(close());
    removeIfStill(path_, identity_);
}

}  // namespace vantorel
