#include "platform/mp4/recording_recovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "platform/mp4/fragmented_file.h"
#include "platform/mp4/recording_finalizer.h"
#include "platform/mp4/recording_marker.h"

namespace vantorel::mp4 {

namespace {

// The writer puts the marker within the first few boxes: the file type, the movie header, then
// the marker.
constexpr int kBoxesBeforeMarker = 4;

// An open file descriptor, closed when it goes.
class OpenFile {
  public:
    OpenFile(const std::filesystem::path& path, int flags)
        : fd_(::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW)) {}
    ~OpenFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

bool carriesMarker(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const auto fileSize = static_cast<uint64_t>(info.st_size);
    uint64_t at = 0;
    for (int i = 0; i < kBoxesBeforeMarker && at < fileSize; ++i) {
        const std::optional<Box> box = readBoxHeader(fd, at, fileSize);
        if (!box || (i == 0 && box->type != fourcc("ftyp"))) {
            return false;
        }
        std::vector<uint8_t> usertype;
        if (box->type == fourcc("uuid") && box->bodySize() >= 16 &&
            readAt(fd, box->bodyOffset(), 16, usertype) && isInProgressId(usertype.data())) {
            return true;
        }
        at = box->end();
    }
    return false;
}

}  // namespace

bool isCutOffRecording(const std::filesystem::path& path) {
    const OpenFile file(path, O_RDONLY);
    return file.fd() >= 0 && carriesMarker(file.fd());
}

RecoveryReport recoverRecordings(const std::filesystem::path& folder,
                                 std::filesystem::file_time_type writtenBefore) {
    RecoveryReport report;
    std::error_code error;
    for (auto entry = std::filesystem::directory_iterator(folder, error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::filesystem::path& path = entry->path();
        if (path.extension() != ".mp4" || !entry->is_regular_file(error) ||
            entry->last_write_time(error) >= writtenBefore || !isCutOffRecording(path)) {
            continue;
        }
        const OpenFile file(path, O_RDWR);
        const std::string why =
            file.fd() >= 0 ? finishRecordingFile(file.fd()) : "the file cannot be opened";
        if (why.empty()) {
            report.recovered.push_back(path);
        } else {
            report.unrecoverable.emplace_back(path, why);
        }
    }
    return report;
}

}  // namespace vantorel::mp4
