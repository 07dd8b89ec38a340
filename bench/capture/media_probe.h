#pragma once

#include <cstdint>
#include <string>

namespace vantorel::bench {

// What ffprobe finds in a recording's video track.
struct MediaFacts {
    bool readable = false;
    int64_t packets = 0;  // frames stored in the file
    double seconds = 0;   // the track's duration
    int width = 0;
    int height = 0;
    double megabytes = 0;  // the whole file
};

MediaFacts probeMedia(const std::string& path);

}  // namespace vantorel::bench
