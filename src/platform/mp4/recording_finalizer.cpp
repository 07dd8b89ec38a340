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
    // Room for the largest header up front: growing the vector here makes GCC 12 at -O3 warn,
    // wrongly, of a read past the end of the old buffer.
    header.reserve(16);
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

std::vector<Box> topLevelBoxes(int fd) {
    std::vector<Box> boxes;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const uint64_t fileSize = size > 0 ? static_cast<uint64_t>(size) : 0;
    for (uint64_t at = 0; at < fileSize;) {
        const std::optional<Box> box = readBoxHeader(fd, at, fileSize);
        if (!box) {
            break;
        }
        boxes.push_back(*box);
        at = box->end();
    }
    return boxes;
}

// Once the fragments are hidden, the front of the file is free space: the first movie box and
// the marker's reserve. When the index fits there it moves to the front, where a player that
// streams the file finds it first. Written into the free space before it becomes a box, and
// cut from the end only then, so that the file holds a complete index at every moment.
void moveIndexToFront(int fd) {
    const std::vector<Box> boxes = topLevelBoxes(fd);
    if (boxes.size() < 3 || boxes.front().type != fourcc("ftyp") ||
        boxes.back().type != fourcc("moov")) {
        return;
    }
    const Box& index = boxes.back();
    const uint64_t spanStart = boxes[1].offset;
    uint64_t spanEnd = spanStart;
    for (size_t i = 1; i + 1 < boxes.size() && boxes[i].type == fourcc("free"); ++i) {
        spanEnd = boxes[i].end();
    }
    const uint64_t room = spanEnd - spanStart;
    if (index.size > room || (room > index.size && room - index.size < kHeaderSize)) {
        return;
    }
    std::vector<uint8_t> bytes;
    if (!readAt(fd, index.offset, index.size, bytes)) {
        return;
    }
    if (room > index.size && !writeAt(fd, spanStart + index.size, freeHeader(room - index.size))) {
        return;
    }
    const std::vector<uint8_t> body(bytes.begin() + kHeaderSize, bytes.end());
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + kHeaderSize);
    if (writeAt(fd, spanStart + kHeaderSize, body) && writeAt(fd, spanStart, head)) {
        static_cast<void>(::ftruncate(fd, static_cast<off_t>(index.offset)));
    }
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
    moveIndexToFront(fd);
    return {};
}

}  // namespace vantorel::mp4
