#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vantorel::mp4 {

// The box that marks a recording still being written. The writer puts it right after the file's
// header; finishing the file turns it into free space. A file that still carries it at the next
// start was cut off (a crash, a kill, a power cut) and is ours to recover; no other file is.
inline constexpr std::array<uint8_t, 16> kInProgressId = {
    0x7a, 0x3e, 0x5c, 0x11, 0x94, 0x6b, 0x4f, 0x0d, 0xb2, 0x18, 0xc5, 0x6e, 0x2d, 0x90, 0x43, 0xa7};

// A 'uuid' box with that identifier and a line saying what it is, padded to `size` bytes (at
// least the line's; the padding is room an index may later take).
std::vector<uint8_t> inProgressMarker(uint32_t size = 0);

// Whether the box body starting with `usertype` (16 bytes) is our marker's.
bool isInProgressId(const uint8_t* usertype);

}  // namespace vantorel::mp4
