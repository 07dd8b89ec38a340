#pragma once

#include <string>

namespace vantorel::mp4 {

// Turns a recording written as fragments into an ordinary MP4 file in place: it writes a complete
// index after the last whole fragment, then makes the fragments' own headers, the first movie
// box and the in-progress marker into free space, so that every player and editor reads the
// file as one ordinary movie. The media data is never moved or copied.
//
// The steps are ordered so that a file cut off at any point can be finished again: until the
// new index is complete, the file still plays as fragments; once it is, each later step only
// hides what the index makes redundant, and running the whole again completes what was left.
// A recording cut off mid-fragment (a crash) keeps the fragments that arrived whole; the torn
// rest becomes free space as well, so no byte is removed.
//
// `fd` is open for reading and writing. Answers an empty text when the file is finished, or why
// it could not be (then nothing was changed).
std::string finishRecordingFile(int fd);

}  // namespace vantorel::mp4
