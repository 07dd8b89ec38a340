#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/mp4/mp4_box.h"

namespace vantorel::mp4 {

// Samples of one track that lie one after the other in the file.
struct Chunk {
    uint64_t offset = 0;
    uint32_t firstSample = 0;  // index into the track's samples
    uint32_t sampleCount = 0;
};

// Everything an ordinary index needs to know of one track, gathered from its fragments.
struct TrackSamples {
    uint32_t trackId = 0;
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> durations;  // in the track's own time scale
    std::vector<int32_t> compositionOffsets;
    std::vector<bool> sync;
    std::vector<Chunk> chunks;
    // Where the track's first sample lies on its timeline; a track that starts later than the
    // movie does needs an edit to say so.
    uint64_t firstDecodeTime = 0;
    uint64_t decodeEnd = 0;  // the first sample's time plus every duration
};

// A fragmented MP4 file as it lies on disk: its header boxes, the fragments that arrived whole,
// and what came after them.
struct FragmentedFile {
    uint64_t fileSize = 0;
    Box initialMoov;                        // the movie box written first, with mvex
    std::vector<uint8_t> initialMoovBytes;  // its bytes, the box header included
    std::vector<Box> inProgressMarkers;     // our marker boxes, see recording_marker.h
    std::vector<Box> fragments;             // moof boxes whose media data is complete
    std::vector<Box> otherIndexes;          // mfra boxes, meaningless once indexed otherwise
    std::vector<TrackSamples> tracks;       // in the order of the initial movie box
    uint64_t completeEnd = 0;               // just past the last whole fragment
    // An ordinary movie box written after the fragments by a finish that did not complete.
    std::optional<Box> finalMoov;
};

// Reads the layout of the fragmented MP4 file open as `fd`, stopping at the first fragment that
// did not arrive whole (a recording cut off mid-write). Nothing, with `why` set, when the file
// is not a fragmented MP4 at all.
std::optional<FragmentedFile> readFragmentedFile(int fd, std::string& why);

// The header of the box at `offset` of the file open as `fd`, whose size is `fileSize`; nothing
// when the header is cut short or the box reaches past the end of the file.
std::optional<Box> readBoxHeader(int fd, uint64_t offset, uint64_t fileSize);

// Reads `size` bytes at `offset` of `fd`; false when the file is shorter.
bool readAt(int fd, uint64_t offset, uint64_t size, std::vector<uint8_t>& into);

}  // namespace vantorel::mp4
