#include "platform/mp4/movie_index.h"

#include <algorithm>
#include <numeric>

#include "platform/mp4/start_skip.h"

namespace vantorel::mp4 {

namespace {

// Offsets of the duration fields in full boxes whose layout depends on their version.
uint64_t scaled(uint64_t value, uint32_t from, uint32_t to) {
    return from == 0 ? 0 : value * to / from;
}

uint64_t trackDuration(const TrackSamples& track) {
    return std::accumulate(track.durations.begin(), track.durations.end(), uint64_t{0});
}

const TrackSamples* samplesOf(const FragmentedFile& file, uint32_t trackId) {
    for (const TrackSamples& track : file.tracks) {
        if (track.trackId == trackId) {
            return &track;
        }
    }
    return nullptr;
}

// Copies a full box that carries a duration after creation and modification times (mvhd,
// tkhd, mdhd), with the duration replaced. `afterTimes` is the number of bytes between the times
// and the duration (a time scale, or a track id and a reserved word).
void copyWithDuration(BoxWriter& out, const std::vector<uint8_t>& bytes, const Box& box,
                      uint32_t afterTimes, uint64_t duration) {
    ByteReader reader(bytes.data() + box.bodyOffset(), static_cast<size_t>(box.bodySize()));
    const uint8_t version = reader.u8();
    const size_t timesSize = version == 1 ? 16 : 8;
    const size_t durationAt = 4 + timesSize + afterTimes;
    const size_t durationSize = version == 1 ? 8 : 4;
    out.open(box.type);
    out.bytes(bytes, box.bodyOffset(), durationAt);
    if (version == 1) {
        out.u64(duration);
    } else {
        out.u32(static_cast<uint32_t>(std::min<uint64_t>(duration, UINT32_MAX)));
    }
    const uint64_t rest = box.bodySize() - durationAt - durationSize;
    out.bytes(bytes, box.bodyOffset() + durationAt + durationSize, rest);
    out.close();
}

uint32_t timescaleOf(const std::vector<uint8_t>& bytes, const Box& box, uint32_t afterTimes) {
    ByteReader reader(bytes.data() + box.bodyOffset(), static_cast<size_t>(box.bodySize()));
    const uint8_t version = reader.u8();
    reader.skip(3 + (version == 1 ? 16 : 8) + afterTimes);
    return reader.u32();
}

void writeTimeToSample(BoxWriter& out, const TrackSamples& track) {
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // count, duration
    for (const uint32_t duration : track.durations) {
        if (!runs.empty() && runs.back().second == duration) {
            ++runs.back().first;
        } else {
            runs.emplace_back(1, duration);
        }
    }
    out.openFull(fourcc("stts"), 0, 0);
    out.u32(static_cast<uint32_t>(runs.size()));
    for (const auto& [count, duration] : runs) {
        out.u32(count);
        out.u32(duration);
    }
    out.close();
}

void writeCompositionOffsets(BoxWriter& out, const TrackSamples& track) {
    const auto& offsets = track.compositionOffsets;
    if (std::all_of(offsets.begin(), offsets.end(), [](int32_t o) { return o == 0; })) {
        return;
    }
    std::vector<std::pair<uint32_t, int32_t>> runs;
    for (const int32_t offset : offsets) {
        if (!runs.empty() && runs.back().second == offset) {
            ++runs.back().first;
        } else {
            runs.emplace_back(1, offset);
        }
    }
    out.openFull(fourcc("ctts"), 1, 0);
    out.u32(static_cast<uint32_t>(runs.size()));
    for (const auto& [count, offset] : runs) {
        out.u32(count);
        out.u32(static_cast<uint32_t>(offset));
    }
    out.close();
}

void writeSyncSamples(BoxWriter& out, const TrackSamples& track) {
    if (std::all_of(track.sync.begin(), track.sync.end(), [](bool s) { return s; })) {
        return;  // every sample starts a picture of its own: no table means that
    }
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < track.sync.size(); ++i) {
        if (track.sync[i]) {
            numbers.push_back(static_cast<uint32_t>(i + 1));
        }
    }
    out.openFull(fourcc("stss"), 0, 0);
    out.u32(static_cast<uint32_t>(numbers.size()));
    for (const uint32_t number : numbers) {
        out.u32(number);
    }
    out.close();
}

void writeChunks(BoxWriter& out, const TrackSamples& track) {
    out.openFull(fourcc("stsc"), 0, 0);
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // first chunk (from 1), samples per chunk
    for (size_t i = 0; i < track.chunks.size(); ++i) {
        if (runs.empty() || runs.back().second != track.chunks[i].sampleCount) {
            runs.emplace_back(static_cast<uint32_t>(i + 1), track.chunks[i].sampleCount);
        }
    }
    out.u32(static_cast<uint32_t>(runs.size()));
    for (const auto& [first, count] : runs) {
        out.u32(first);
        out.u32(count);
        out.u32(1);  // the first (and only) sample description
    }
    out.close();

    out.openFull(fourcc("stsz"), 0, 0);
    const bool uniform =
        !track.sizes.empty() && std::all_of(track.sizes.begin(), track.sizes.end(),
                                            [&](uint32_t s) { return s == track.sizes.front(); });
    out.u32(uniform ? track.sizes.front() : 0);
    out.u32(static_cast<uint32_t>(track.sizes.size()));
    if (!uniform) {
        for (const uint32_t size : track.sizes) {
            out.u32(size);
        }
    }
    out.close();

    const bool large = std::any_of(track.chunks.begin(), track.chunks.end(),
                                   [](const Chunk& c) { return c.offset > UINT32_MAX; });
    out.openFull(large ? fourcc("co64") : fourcc("stco"), 0, 0);
    out.u32(static_cast<uint32_t>(track.chunks.size()));
    for (const Chunk& chunk : track.chunks) {
        if (large) {
            out.u64(chunk.offset);
        } else {
            out.u32(static_cast<uint32_t>(chunk.offset));
        }
    }
    out.close();
}

bool isSampleTable(uint32_t type) {
    for (const char* table : {"stts", "ctts", "stss", "stsc", "stsz", "stz2", "stco", "co64",
                              "sdtp", "sbgp", "sgpd", "subs", "saiz", "saio"}) {
        if (type == fourcc(table)) {
            return true;
        }
    }
    return false;
}

void writeSampleTable(BoxWriter& out, const std::vector<uint8_t>& bytes, const Box& stbl,
                      const TrackSamples& track) {
    out.open(fourcc("stbl"));
    for (const Box& child : boxesIn(bytes, stbl.bodyOffset(), stbl.end())) {
        if (!isSampleTable(child.type)) {
            out.bytes(bytes, child.offset, child.size);  // the sample descriptions, stsd
        }
    }
    writeTimeToSample(out, track);
    writeCompositionOffsets(out, track);
    writeSyncSamples(out, track);
    writeChunks(out, track);
    out.close();
}

// What the index needs to know of one track beyond its samples.
struct TrackFacts {
    const TrackSamples* samples = nullptr;  // none for a track that has no fragment
    uint32_t mediaTimescale = 0;
    // The media time that plays at the movie's start (the encoder's priming, see start_skip.h).
    uint64_t skip = 0;

    // Where the track ends on the movie's timeline, in its own time scale.
    uint64_t presentationEnd() const {
        return samples && samples->decodeEnd > skip ? samples->decodeEnd - skip : 0;
    }
};

// The edits that put the track's media on the movie's timeline. A track whose first sample
// lies later than its skip starts with an empty edit for the time before it; without one a
// player would start the track at the movie's start, out of step with the others. A track with
// a skip plays from there, without its priming.
void writeEdits(BoxWriter& out, const TrackFacts& facts, uint32_t movieTimescale) {
    const TrackSamples& track = *facts.samples;
    const uint64_t mediaStart = std::max(track.firstDecodeTime, facts.skip);
    if (mediaStart == 0 || facts.mediaTimescale == 0 || track.decodeEnd <= mediaStart) {
        return;
    }
    const auto toMovie = [&](uint64_t value) {
        return scaled(value, facts.mediaTimescale, movieTimescale);
    };
    const uint64_t emptyBefore = mediaStart - facts.skip;
    out.open(fourcc("edts"));
    out.openFull(fourcc("elst"), 1, 0);
    out.u32(emptyBefore != 0 ? 2 : 1);
    if (emptyBefore != 0) {
        out.u64(toMovie(emptyBefore));
        out.u64(UINT64_MAX);  // media time -1: an empty edit
        out.u32(0x00010000);  // rate 1.0
    }
    out.u64(toMovie(track.decodeEnd - mediaStart));
    out.u64(mediaStart);
    out.u32(0x00010000);
    out.close();
    out.close();
}

// Copies the boxes of `parent`, rebuilding those that carry durations, edits or sample tables.
void copyTree(BoxWriter& out, const std::vector<uint8_t>& bytes, const Box& parent,
              const TrackFacts& facts, uint32_t movieTimescale) {
    const TrackSamples* track = facts.samples;
    for (const Box& child : boxesIn(bytes, parent.bodyOffset(), parent.end())) {
        if (child.type == fourcc("tkhd") && track) {
            copyWithDuration(out, bytes, child, 8,
                             scaled(facts.presentationEnd(), facts.mediaTimescale, movieTimescale));
            writeEdits(out, facts, movieTimescale);
        } else if (child.type == fourcc("edts") && track) {
            continue;  // replaced by the one written after tkhd
        } else if (child.type == fourcc("mdhd") && track) {
            copyWithDuration(out, bytes, child, 4, trackDuration(*track));
        } else if (child.type == fourcc("stbl") && track) {
            writeSampleTable(out, bytes, child, *track);
        } else if (child.type == fourcc("mdia") || child.type == fourcc("minf")) {
            out.open(child.type);
            copyTree(out, bytes, child, facts, movieTimescale);
            out.close();
        } else {
            out.bytes(bytes, child.offset, child.size);
        }
    }
}

uint32_t trackIdOf(const std::vector<uint8_t>& bytes, const Box& trak) {
    const std::optional<Box> tkhd = childOf(bytes, trak, fourcc("tkhd"));
    if (!tkhd) {
        return 0;
    }
    ByteReader reader(bytes.data() + tkhd->bodyOffset(), static_cast<size_t>(tkhd->bodySize()));
    const uint8_t version = reader.u8();
    reader.skip(3 + (version == 1 ? 16 : 8));
    return reader.u32();
}

TrackFacts factsOf(const FragmentedFile& file, const Box& trak) {
    const std::vector<uint8_t>& bytes = file.initialMoovBytes;
    TrackFacts facts;
    facts.samples = samplesOf(file, trackIdOf(bytes, trak));
    const std::optional<Box> mdia = childOf(bytes, trak, fourcc("mdia"));
    const std::optional<Box> mdhd = mdia ? childOf(bytes, *mdia, fourcc("mdhd")) : std::nullopt;
    facts.mediaTimescale = mdhd ? timescaleOf(bytes, *mdhd, 0) : 0;
    facts.skip = startSkipOf(bytes, trak);
    return facts;
}

}  // namespace

std::vector<uint8_t> buildMovieIndex(const FragmentedFile& file) {
    const std::vector<uint8_t>& bytes = file.initialMoovBytes;
    const std::optional<Box> moov = boxAt(bytes, 0, bytes.size());
    if (!moov) {
        return {};
    }
    uint32_t movieTimescale = 1000;
    std::vector<TrackFacts> tracks;
    std::optional<Box> mvhd;
    for (const Box& child : boxesIn(bytes, moov->bodyOffset(), moov->end())) {
        if (child.type == fourcc("mvhd")) {
            mvhd = child;
            movieTimescale = timescaleOf(bytes, child, 0);
        } else if (child.type == fourcc("trak")) {
            tracks.push_back(factsOf(file, child));
        }
    }
    if (!mvhd) {
        return {};
    }
    uint64_t movieDuration = 0;
    for (const TrackFacts& facts : tracks) {
        movieDuration = std::max(
            movieDuration, scaled(facts.presentationEnd(), facts.mediaTimescale, movieTimescale));
    }

    BoxWriter out;
    out.open(fourcc("moov"));
    size_t trackIndex = 0;
    for (const Box& child : boxesIn(bytes, moov->bodyOffset(), moov->end())) {
        if (child.type == fourcc("mvhd")) {
            copyWithDuration(out, bytes, child, 4, movieDuration);
        } else if (child.type == fourcc("trak")) {
            out.open(fourcc("trak"));
            copyTree(out, bytes, child, tracks[trackIndex++], movieTimescale);
            out.close();
        } else if (child.type != fourcc("mvex")) {
            out.bytes(bytes, child.offset, child.size);
        }
    }
    out.close();
    return out.data();
}

}  // namespace vantorel::mp4
