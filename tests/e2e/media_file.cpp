#include "media_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "desktop.h"

namespace vantorel::e2e {

std::optional<MediaFile> MediaFile::open(const QString& path) {
    const CommandResult probe = runCommand(
        "ffprobe", {"-v", "error", "-show_streams", "-show_format", "-of", "json", path});
    if (!probe.ok()) {
        return std::nullopt;
    }
    const QJsonObject root = QJsonDocument::fromJson(probe.output).object();
    MediaFile file;
    file.path_ = path;
    file.duration_ = root.value("format").toObject().value("duration").toString().toDouble();
    for (const QJsonValue& value : root.value("streams").toArray()) {
        const QJsonObject s = value.toObject();
        StreamInfo info;
        info.type = s.value("codec_type").toString();
        info.codec = s.value("codec_name").toString();
        info.profile = s.value("profile").toString();
        info.width = s.value("width").toInt();
        info.height = s.value("height").toInt();
        info.sampleRate = s.value("sample_rate").toString().toInt();
        info.channels = s.value("channels").toInt();
        file.streams_.push_back(info);
    }
    return file;
}

std::optional<StreamInfo> MediaFile::stream(const QString& type) const {
    for (const StreamInfo& info : streams_) {
        if (info.type == type) {
            return info;
        }
    }
    return std::nullopt;
}

int MediaFile::streamCount(const QString& type) const {
    return static_cast<int>(std::count_if(streams_.begin(), streams_.end(),
                                          [&](const StreamInfo& s) { return s.type == type; }));
}

std::vector<QImage> MediaFile::frames(int step) const {
    const std::optional<StreamInfo> video = stream("video");
    if (!video || video->width <= 0 || video->height <= 0) {
        return {};
    }
    // Every frame as written (no rate conversion), then every step-th kept.
    const CommandResult decoded =
        runCommand("ffmpeg",
                   {"-v", "error", "-i", path_, "-map", "0:v:0", "-vsync", "passthrough", "-f",
                    "rawvideo", "-pix_fmt", "rgb24", "-"},
                   120s);
    const qsizetype frameBytes = qsizetype{video->width} * video->height * 3;
    std::vector<QImage> images;
    for (qsizetype offset = 0, index = 0; offset + frameBytes <= decoded.output.size();
         offset += frameBytes, ++index) {
        if (index % step != 0) {
            continue;
        }
        const auto* bits = reinterpret_cast<const uchar*>(decoded.output.constData() + offset);
        images.push_back(
            QImage(bits, video->width, video->height, video->width * 3, QImage::Format_RGB888)
                .convertToFormat(QImage::Format_RGB32));
    }
    return images;
}

std::vector<int16_t> MediaFile::monoSamples() const {
    const CommandResult decoded = runCommand("ffmpeg",
                                             {"-v", "error", "-i", path_, "-map", "0:a:0", "-ac",
                                              "1", "-ar", "48000", "-f", "s16le", "-"},
                                             120s);
    std::vector<int16_t> samples(static_cast<size_t>(decoded.output.size()) / 2);
    std::memcpy(samples.data(), decoded.output.constData(), samples.size() * 2);
    return samples;
}

ToneReading readTone(const std::vector<int16_t>& samples, int sampleRate, double fromSeconds,
                     double toSeconds) {
    const auto first = static_cast<size_t>(std::max(0.0, fromSeconds) * sampleRate);
    const auto last =
        std::min(samples.size(), static_cast<size_t>(std::max(0.0, toSeconds) * sampleRate));
    if (last <= first + 1) {
        return {};
    }
    double sum = 0;
    int crossings = 0;
    for (size_t i = first; i < last; ++i) {
        const double s = samples[i] / 32768.0;
        sum += s * s;
        if (i > first && (samples[i - 1] < 0) != (samples[i] < 0)) {
            ++crossings;
        }
    }
    const double seconds = static_cast<double>(last - first) / sampleRate;
    return ToneReading{std::sqrt(sum / static_cast<double>(last - first)),
                       crossings / 2.0 / seconds};
}

}  // namespace vantorel::e2e
