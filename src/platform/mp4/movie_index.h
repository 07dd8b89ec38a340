#pragma once

#include <cstdint>
#include <vector>

#include "platform/mp4/fragmented_file.h"

namespace vantorel::mp4 {

// The ordinary movie box for a fragmented file: the tracks' descriptions and headers as the
// writer first wrote them, their durations filled in, and complete sample tables that point at
// the media data where it already lies, so no byte of it is copied. Empty when the initial
// movie box does not read as one.
std::vector<uint8_t> buildMovieIndex(const FragmentedFile& file);

}  // namespace vantorel::mp4
