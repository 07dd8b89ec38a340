#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/ffmpeg/audio_timeline.h"

namespace vantorel::bench {

// The media time of each track as the writer is handed it, set against the host clock, so that
// a long recording shows whether its sound runs away from its picture. The picture's media time
// is its capture time less the file's start: the writer places frames by their stamps. The
// sound's is where the first block's stamp puts it plus the samples handed over since: the
// writer lays blocks end to end after that one.
//
// Fed on the grab thread (pictures) and the sound thread (blocks), read on the main thread.
class TrackClocks {
  public:
    struct Reading {
        int64_t pictureNs = 0;  // media time of the newest picture the writer took
        int64_t soundNs = 0;    // media time of the end of the sound handed over
        int64_t refusedSoundBlocks = 0;
        // Sound media time less host time since the start, as each block was handed over, at
        // its highest since the previous reading; none when no block came in between.
        std::optional<int64_t> soundAheadOfHostNs;
        // Where the writer put the sound blocks it took against where their stamps say they
        // belong (beside the picture), at its largest since the previous reading.
        std::optional<int64_t> soundInFileOffNs;
    };

    // The file's timeline starts at this host time.
    void begin(int64_t startNs);
    void pictureTaken(int64_t captureNs);
    // A block of `frames` samples stamped `stampNs`, offered to the writer at host time
    // `nowNs`. A refused one still counts: the writer keeps the track in step with the blocks'
    // stamps, and fills the gap with silence once it outgrows the jitter it lets pass (25 ms).
    void soundHanded(int64_t stampNs, int64_t frames, int sampleRate, bool taken, int64_t nowNs);
    // Starts a new window for the offset.
    Reading read();

  private:
    void placeInFile(int64_t stampNs, int64_t frames, int sampleRate);

    std::atomic<int64_t> startNs_{0};
    std::atomic<int64_t> pictureNs_{0};
    std::mutex mutex_;
    std::optional<int64_t> soundOriginNs_;  // guarded by mutex_, as are the rest
    int64_t soundSamples_ = 0;
    int64_t soundNs_ = 0;
    int64_t refusedSoundBlocks_ = 0;
    std::optional<int64_t> soundAheadOfHostNs_;
    // The writer's own placement of the blocks, followed block by block.
    std::optional<AudioTimeline> fileTrack_;
    std::optional<int64_t> soundInFileOffNs_;
};

}  // namespace vantorel::bench
