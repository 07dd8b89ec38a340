#pragma once

#include <cstdint>
#include <vector>

#include "platform/mp4/mp4_box.h"

namespace vantorel::mp4 {

// Some encoders start with priming: AAC's first packet decodes to samples from before the first
// one it was given. Such a track's media begins that much early, and its edit list says where
// the real start lies, so that players skip the priming and keep the sound in step with the
// picture. The skip is written into the first movie box of a recording, for as long as the
// fragments last, and carried into the ordinary index that finishes it.

// `header`, the file's first boxes as the muxer wrote them (ftyp and a movie box without
// samples), with an edit list for the i-th track that starts playing at media time `skips[i]`,
// in the track's own time scale, when that is not 0. Unchanged when it does not read as boxes.
std::vector<uint8_t> withStartSkips(const std::vector<uint8_t>& header,
                                    const std::vector<uint32_t>& skips);

// The media time at which the edit list of `trak`, a box within `bytes`, starts the track: 0
// without an edit list, or with one that is more than a single skip.
uint64_t startSkipOf(const std::vector<uint8_t>& bytes, const Box& trak);

}  // namespace vantorel::mp4
