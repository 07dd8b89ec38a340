#include "media_probe.h"

#include <chrono>
#include <filesystem>

#include "child_process.h"

namespace vantorel::bench {

MediaFacts probeMedia(const std::string& path) {
    MediaFacts facts;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        return facts;
    }
    facts.megabytes = static_cast<double>(size) / 1e6;
    auto take = [&facts](const std::string& line, int64_t) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            return;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        try {
            if (key == "nb_read_packets") {
                facts.packets = std::stoll(value);
                facts.readable = true;
            } else if (key == "duration") {
                facts.seconds = std::stod(value);
            } else if (key == "width") {
                facts.width = std::stoi(value);
            } else if (key == "height") {
                facts.height = std::stoi(value);
            }
        } catch (const std::exception&) {
            // "N/A" and the like: the fact stays unknown.
        }
    };
    ChildProcess probe(
        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
         "stream=nb_read_packets,duration,width,height", "-of", "default=noprint_wrappers=1", path},
        "/dev/null", take);
    probe.wait(std::chrono::seconds(60));
    return facts;
}

}  // namespace vantorel::bench
