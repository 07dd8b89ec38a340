#include "media_probe.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace vantorel::testing {

namespace {
std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}
}  // namespace

std::optional<std::string> runCommand(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char chunk[65536];
    for (size_t read; pipe != nullptr && (read = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        output.append(chunk, read);
    }
    return pipe != nullptr && pclose(pipe) == 0 ? std::optional(output) : std::nullopt;
}

std::string MediaProbe::run(const std::string& tool, const std::string& arguments) const {
    return runCommand(tool + " -v error -i '" + file_.string() + "' " + arguments).value_or("");
}

std::vector<std::map<std::string, std::string>> MediaProbe::streams(const std::string& type) const {
    std::vector<std::map<std::string, std::string>> result;
    for (const std::string& line :
         split(run("ffprobe", "-select_streams " + type.substr(0, 1) +
                                  " -show_entries stream -of compact=p=0"),
               '\n')) {
        auto& fields = result.emplace_back();
        for (const std::string& field : split(line, '|')) {
            fields[field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
        }
    }
    return result;
}

std::optional<double> MediaProbe::duration() const {
    const std::string output = run("ffprobe", "-show_entries format=duration -of csv=p=0");
    return output.empty() ? std::nullopt : std::optional(std::stod(output));
}

std::vector<MediaProbe::Packet> MediaProbe::videoPackets() const {
    std::vector<Packet> packets;
    for (const std::string& line :
         split(run("ffprobe", "-select_streams v -show_entries packet=pts_time,flags -of csv=p=0"),
               '\n')) {
        packets.push_back(Packet{std::stod(line), line.find(",K") != std::string::npos});
    }
    return packets;
}

std::vector<std::vector<unsigned char>> MediaProbe::decodedFrames() const {
    const auto video = streams("video");
    const std::string bytes =
        run("ffmpeg", "-map 0:v -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
    const size_t size =
        video.empty() ? 0
                      : std::stoul(video[0].at("width")) * std::stoul(video[0].at("height")) * 3;
    std::vector<std::vector<unsigned char>> frames;
    for (size_t at = 0; size > 0 && at + size <= bytes.size(); at += size) {
        frames.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at),
                            bytes.begin() + static_cast<ptrdiff_t>(at + size));
    }
    return frames;
}

std::vector<float> MediaProbe::decodedSound() const {
    const std::string bytes = run("ffmpeg", "-map 0:a:0 -ac 1 -f f32le -");
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.empty() ? 0 : samples.size() * sizeof(float));
    return samples;
}

}  // namespace vantorel::testing
