#pragma once

#include <QFile>

#include <optional>
#include <vector>

#include "capture/capture_source.h"
#include "capture/mp4_writer.h"

// Stand-ins for the engine's platform parts, driven by the test on its own thread: a source
// whose frames, sound and stops the test hands in, and a writer that keeps what it is given.
namespace vantorel::testing {

// What the test reads once the recorder has let go of its parts.
struct Aftermath {
    int sourceStops = 0;
    std::optional<int64_t> finishedAt;
};

class FakeCaptureSource final : public CaptureSource {
  public:
    explicit FakeCaptureSource(Aftermath& aftermath) : aftermath_(aftermath) {}
    void start(const CaptureRequest& asked, CaptureSink& sink, StartAnswer answer) override {
        request = asked;
        sink_ = &sink;
        if (holdsAnswer) {
            heldAnswer = std::move(answer);
            return;
        }
        answer(startError);
    }
    void stop() override { ++aftermath_.sourceStops; }

    // What the real sources do on their threads.
    void deliver(int64_t timeNs, bool complete = true) {
        sink_->take(VideoFrame{timeNs, complete, 2, 2, 8, nullptr});
    }
    void deliverSound(int64_t timeNs) { sink_->take(SoundBlock{timeNs, 48000, 2, {0, 0}}); }
    void stopBySelf(const Error& error) { sink_->sourceStopped(error); }

    std::optional<Error> startError;
    bool holdsAnswer = false;  // the start is answered when the test calls heldAnswer
    StartAnswer heldAnswer;
    CaptureRequest request;

  private:
    Aftermath& aftermath_;
    CaptureSink* sink_ = nullptr;
};

// Makes the file like the real writer, so that what the recorder keeps or removes can be seen on
// disk; answers open and finish at once unless told to hold them.
class FakeMp4Writer final : public Mp4Writer {
  public:
    FakeMp4Writer(Mp4WriterSettings asked, Aftermath& aftermath)
        : settings(std::move(asked)), aftermath_(aftermath) {
        QFile(settings.path).open(QIODevice::NewOnly);
    }
    void open(Answer answer) override { answer(openError); }
    void begin(int64_t startNs) override { begins.push_back(startNs); }
    bool appendVideo(const VideoFrame& frame) override {
        if (acceptsVideo) {
            video.push_back(frame.timeNs);
        }
        return acceptsVideo;
    }
    bool appendSound(SoundBlock block) override {
        sound.push_back(block.timeNs);
        return true;
    }
    std::optional<Error> failure() const override { return failed; }
    void finish(int64_t endNs, Answer answer) override {
        aftermath_.finishedAt = endNs;
        if (finishError) {
            QFile::remove(settings.path);
        }
        answer(finishError);
    }
    void cancel() override { QFile::remove(settings.path); }

    Mp4WriterSettings settings;
    std::optional<Error> openError;
    std::optional<Error> finishError;
    std::optional<Error> failed;
    bool acceptsVideo = true;
    std::vector<int64_t> begins;
    std::vector<int64_t> video;
    std::vector<int64_t> sound;

  private:
    Aftermath& aftermath_;
};

}  // namespace vantorel::testing
