#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantorel::testing {

// What ffprobe and ffmpeg say about a media file. Each call runs the real tools.
class MediaProbe {
  public:
    explicit MediaProbe(std::filesystem::path file) : file_(std::move(file)) {}

    // The properties of each stream of `type` ("video" or "audio") as ffprobe names them
    // ("codec_name", "profile", "width", "start_time", "duration", ...).
    std::vector<std::map<std::string, std::string>> streams(const std::string& type) const;
    // The container's duration in seconds; absent when ffprobe cannot read the file.
    std::optional<double> duration() const;

    struct Packet {
        double time = 0;
        bool key = false;
    };
    // The video packets in file order (presentation order when there are no B-frames).
    std::vector<Packet> videoPackets() const;
    // Every decoded video frame as RGB24 bytes, width * height * 3 each, none repeated or dropped.
    std::vector<std::vector<unsigned char>> decodedFrames() const;
    // The first sound track decoded to mono 32-bit float at its own rate.
    std::vector<float> decodedSound() const;

  private:
    // The tool's output for the file, or nothing when it fails.
    std::string run(const std::string& tool, const std::string& arguments) const;

    std::filesystem::path file_;
};

// Runs a shell command; its standard output, or absent when it exits with an error.
std::optional<std::string> runCommand(const std::string& command);

}  // namespace vantorel::testing
