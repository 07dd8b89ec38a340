#include "platform/mp4/recording_finalizer.h"

#include <unistd.h>

#include <optional>

#include "platform/mp4/fragmented_file.h"
#include "platform/mp4/movie_index.h"

namespace vantorel::mp4 {

namespace {

constexpr uint64_t kHeaderSize = 8;

bool writeAt(int fd, uint64_t offset, const std::vector<uint8_t>& bytes) {
    uint64_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + done));
        if (put <= 0) {
            return false;
        }
        done += static_cast<uint64_t>(put);
    }
    return true;
}

// Rewrites the type of the box at `box` as 'free', keeping its size: readers skip it whole.
bool makeFree(int fd, const Box& box) {
    return writeAt(fd, box.offset + 4, {'f', 'r', 'e', 'e'});
}

// A 'free' box header over [offset, end): the torn tail of a recording that was cut off.
std::vector<uint8_t> freeHeader(uint64_t size) {
    std::vector<uint8_t> header;
    if (size > UINT32_MAX) {
        header = {0, 0, 0, 1, 'f', 'r', 'e', 'e'};
        for (int i = 7; i >= 0; --i) {
            header.push_back(static_cast<uint8_t>(size >> (8 * i)));
        }
    } else {
        for (int i = 3; i >= 0; --i) {
            header.push_back(static_cast<uint8_t>(size >> (8 * i)));
        }
        header.insert(header.end(), {'f', 'r', 'e', 'e'});
    }
    return header;
}

}  // namespace

std::string finishRecordingFile(int fd) {
    std::string why;
    const std::optional<FragmentedFile> file = readFragmentedFile(fd, why);
    if (!file) {
        return why;
    }
    if (!file->finalMoov) {
        if (file->fragments.empty()) {
            return "no fragment arrived whole";
        }
        const std::vector<uint8_t> index = buildMovieIndex(*file);
        if (index.empty()) {
            return "the movie header does not read as one";
        }
        uint64_t indexAt = file->completeEnd;
        const uint64_t torn = file->fileSize - file->completeEnd;
        if (torn >= kHeaderSize + 8) {
            // Kept as free space rather than cut away: nothing of the file is removed.
            if (!writeAt(fd, file->completeEnd, freeHeader(torn))) {
                return "the file cannot be written";
            }
            indexAt = file->fileSize;
        }
        // A torn tail too short to hold a box header is overwritten: it cannot be kept as one.
        if (!writeAt(fd, indexAt, index)) {
            return "the file cannot be written";
        }
    }
    // From here on the file plays from the new index whatever else happens.
    for (const Box& fragment : file->fragments) {
        if (!makeFree(fd, fragment)) {
            return "the file cannot be written";
        }
    }
    for (const std::vector<Box>* boxes : {&file->otherIndexes, &file->inProgressMarkers}) {
        for (const Box& box : *boxes) {
            if (!makeFree(fd, box)) {
                return "the file cannot be written";
            }
        }
    }
    if (!makeFree(fd, file->initialMoov)) {
        return "the file cannot be written";
    }
    return {};
}

}  // namespace vantorel::mp4
