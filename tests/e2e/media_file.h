#pragma once

#include <QImage>
#include <QString>

#include <optional>
#include <vector>

namespace vantorel::e2e {

struct StreamInfo {
    QString type;  // "video" or "audio"
    QString codec;
    QString profile;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
};

// A recording as ffprobe and ffmpeg see it.
class MediaFile {
  public:
    // Answers nothing when ffprobe cannot read the file.
    static std::optional<MediaFile> open(const QString& path);

    double duration() const { return duration_; }
    std::optional<StreamInfo> stream(const QString& type) const;
    int streamCount(const QString& type) const;

    // Every `step`-th decoded frame as RGB pixels of the video's size.
    std::vector<QImage> frames(int step = 1) const;
    // The sound as one channel of 16-bit samples at 48 kHz.
    std::vector<int16_t> monoSamples() const;

  private:
    QString path_;
    double duration_ = 0;
    std::vector<StreamInfo> streams_;
};

// What a stretch of sound holds.
struct ToneReading {
    double rms = 0;        // of full scale, 0..1
    double frequency = 0;  // from zero crossings, in Hz
};
ToneReading readTone(const std::vector<int16_t>& samples, int sampleRate, double fromSeconds,
                     double toSeconds);

}  // namespace vantorel::e2e
