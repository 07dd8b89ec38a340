#include "media_probe.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

namespace vantorel::testing {

namespace {
std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

std::optional<double> number(const std::optional<std::string>& text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    try {
        return std::stod(*text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
}  // namespace

std::optional<std::string> runCommand(const std::string& command) {
    struct PipeCloser {
        int* status;
        void operator()(FILE* pipe) const { *status = pclose(pipe); }
    };
    int status = -1;
    std::string output;
    {
        std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"), PipeCloser{&status});
        if (!pipe) {
            return std::nullopt;
        }
        char chunk[65536];
        for (size_t read; (read = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
            output.append(chunk, read);
        }
    }
    if (status != 0) {
        return std::nullopt;
    }
    return output;
}

std::vector<std::map<std::string, std::string>> MediaProbe::streams(const std::string& type) const {
    const auto output = runCommand("ffprobe -v error -select_streams " + type.substr(0, 1) +
                                   " -show_entries stream -of compact=p=0 " + quoted(file_));
    std::vector<std::map<std::string, std::string>> result;
    if (!output) {
        return result;
    }
    for (const std::string& line : split(*output, '\n')) {
        if (line.empty()) {
            continue;
        }
        std::map<std::string, std::string>& fields = result.emplace_back();
        for (const std::string& field : split(line, '|')) {
            const size_t equals = field.find('=');
            if (equals != std::string::npos) {
                fields[field.substr(0, equals)] = field.substr(equals + 1);
            }
        }
    }
    return result;
}

std::optional<double> MediaProbe::duration() const {
    return number(runCommand(
        "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " + quoted(file_)));
}

std::optional<double> MediaProbe::streamDuration(const std::string& type) const {
    const auto found = streams(type);
    if (found.empty() || !found.front().count("duration")) {
        return std::nullopt;
    }
    return number(found.front().at("duration"));
}

std::vector<MediaProbe::Packet> MediaProbe::videoPackets() const {
    const auto output = runCommand(
        "ffprobe -v error -select_streams v -show_entries packet=pts_time,flags -of csv=p=0 " +
        quoted(file_));
    std::vector<Packet> packets;
    if (!output) {
        return packets;
    }
    for (const std::string& line : split(*output, '\n')) {
        const auto fields = split(line, ',');
        if (fields.size() >= 2) {
            packets.push_back(
                Packet{std::stod(fields[0]), fields[1].find('K') != std::string::npos});
        }
    }
    return packets;
}

std::vector<std::vector<unsigned char>> MediaProbe::decodedFrames() const {
    const auto video = streams("video");
    if (video.empty()) {
        return {};
    }
    const size_t frameBytes = static_cast<size_t>(std::stoi(video.front().at("width")) *
                                                  std::stoi(video.front().at("height")) * 3);
    const auto output = runCommand("ffmpeg -v error -i " + quoted(file_) +
                                   " -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
    std::vector<std::vector<unsigned char>> frames;
    if (!output || frameBytes == 0) {
        return frames;
    }
    for (size_t offset = 0; offset + frameBytes <= output->size(); offset += frameBytes) {
        frames.emplace_back(output->begin() + static_cast<ptrdiff_t>(offset),
                            output->begin() + static_cast<ptrdiff_t>(offset + frameBytes));
    }
    return frames;
}

std::vector<float> MediaProbe::decodedSound() const {
    const auto output =
        runCommand("ffmpeg -v error -i " + quoted(file_) + " -map 0:a:0 -ac 1 -f f32le -");
    std::vector<float> samples;
    if (output) {
        samples.resize(output->size() / sizeof(float));
        std::memcpy(samples.data(), output->data(), samples.size() * sizeof(float));
    }
    return samples;
}

}  // namespace vantorel::testing
