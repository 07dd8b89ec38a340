#include "platform/mp4/fragmented_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "platform/mp4/recording_marker.h"

namespace vantorel::mp4 {

namespace {

// Box headers read from the file itself, for the boxes at the top level.
constexpr uint64_t kLargestHeader = 16;
// Anything this big is no index of ours: a damaged size field.
constexpr uint64_t kLargestIndexBox = 64ull << 20;

// tfhd flags
constexpr uint32_t kBaseDataOffset = 0x01;
constexpr uint32_t kDescriptionIndex = 0x02;
constexpr uint32_t kDefaultDuration = 0x08;
constexpr uint32_t kDefaultSize = 0x10;
constexpr uint32_t kDefaultFlags = 0x20;
constexpr uint32_t kBaseIsMoof = 0x020000;
// trun flags
constexpr uint32_t kDataOffset = 0x01;
constexpr uint32_t kFirstSampleFlags = 0x04;
constexpr uint32_t kSampleDuration = 0x100;
constexpr uint32_t kSampleSize = 0x200;
constexpr uint32_t kSampleFlags = 0x400;
constexpr uint32_t kCompositionOffset = 0x800;
// sample flags
constexpr uint32_t kNonSync = 0x10000;

struct TrackDefaults {
    uint32_t duration = 0;
    uint32_t size = 0;
    uint32_t flags = 0;
};

}  // namespace

std::optional<Box> readBoxHeader(int fd, uint64_t offset, uint64_t fileSize) {
    std::vector<uint8_t> header;
    if (!readAt(fd, offset, std::min(kLargestHeader, fileSize - offset), header)) {
        return std::nullopt;
    }
    return parseBoxHeader(header.data(), header.size(), offset, fileSize - offset);
}

namespace {

// The fragment's own start time on the track's timeline (tfdt). Where it lies after the end of
// the samples so far (nothing was written for a while), the last sample lasts until it, as the
// fragments say; an ordinary index has no other way of leaving the gap.
void placeOnTimeline(TrackSamples& track, const std::vector<uint8_t>& moof, const Box& tfdt) {
    ByteReader reader(moof.data() + tfdt.bodyOffset(), static_cast<size_t>(tfdt.bodySize()));
    const uint8_t version = reader.u8();
    reader.skip(3);
    const uint64_t start = version == 1 ? reader.u64() : reader.u32();
    if (!reader.ok()) {
        return;
    }
    if (track.durations.empty()) {
        track.firstDecodeTime = start;
        track.decodeEnd = start;
    } else if (start > track.decodeEnd) {
        track.durations.back() += static_cast<uint32_t>(start - track.decodeEnd);
        track.decodeEnd = start;
    }
}

// The track fragments of one moof, appended to their tracks. False when the moof does not read
// as one, or points at data outside [dataBegin, dataEnd).
bool readFragment(const std::vector<uint8_t>& moof, uint64_t moofOffset, uint64_t dataBegin,
                  uint64_t dataEnd, const std::map<uint32_t, TrackDefaults>& defaults,
                  std::map<uint32_t, TrackSamples>& tracks) {
    const std::optional<Box> root = boxAt(moof, 0, moof.size());
    if (!root) {
        return false;
    }
    uint64_t previousEnd = moofOffset;
    for (const Box& traf : boxesIn(moof, root->bodyOffset(), root->end())) {
        if (traf.type != fourcc("traf")) {
            continue;
        }
        const std::optional<Box> tfhd = childOf(moof, traf, fourcc("tfhd"));
        if (!tfhd) {
            return false;
        }
        ByteReader header(moof.data() + tfhd->bodyOffset(), static_cast<size_t>(tfhd->bodySize()));
        const uint32_t headerFlags = header.u32() & 0xFFFFFF;
        const uint32_t trackId = header.u32();
        const auto known = defaults.find(trackId);
        if (known == defaults.end()) {
            return false;
        }
        TrackDefaults local = known->second;
        uint64_t base = (headerFlags & kBaseIsMoof) != 0 ? moofOffset : previousEnd;
        if ((headerFlags & kBaseDataOffset) != 0) {
            base = header.u64();
        }
        if ((headerFlags & kDescriptionIndex) != 0) {
            header.skip(4);
        }
        if ((headerFlags & kDefaultDuration) != 0) {
            local.duration = header.u32();
        }
        if ((headerFlags & kDefaultSize) != 0) {
            local.size = header.u32();
        }
        if ((headerFlags & kDefaultFlags) != 0) {
            local.flags = header.u32();
        }
        if (!header.ok()) {
            return false;
        }
        TrackSamples& track = tracks[trackId];
        track.trackId = trackId;
        if (const std::optional<Box> tfdt = childOf(moof, traf, fourcc("tfdt"))) {
            placeOnTimeline(track, moof, *tfdt);
        }
        uint64_t next = base;
        for (const Box& trun : boxesIn(moof, traf.bodyOffset(), traf.end())) {
            if (trun.type != fourcc("trun")) {
                continue;
            }
            ByteReader run(moof.data() + trun.bodyOffset(), static_cast<size_t>(trun.bodySize()));
            const uint32_t versionAndFlags = run.u32();
            const uint32_t flags = versionAndFlags & 0xFFFFFF;
            const uint32_t count = run.u32();
            uint64_t offset = next;
            if ((flags & kDataOffset) != 0) {
                offset = base + static_cast<int64_t>(static_cast<int32_t>(run.u32()));
            }
            const bool hasFirstFlags = (flags & kFirstSampleFlags) != 0;
            const uint32_t firstFlags = hasFirstFlags ? run.u32() : 0;
            Chunk chunk{offset, static_cast<uint32_t>(track.sizes.size()), count};
            for (uint32_t i = 0; i < count && run.ok(); ++i) {
                const uint32_t duration =
                    (flags & kSampleDuration) != 0 ? run.u32() : local.duration;
                const uint32_t size = (flags & kSampleSize) != 0 ? run.u32() : local.size;
                uint32_t sampleFlags = (flags & kSampleFlags) != 0 ? run.u32() : local.flags;
                if (i == 0 && hasFirstFlags) {
                    sampleFlags = firstFlags;
                }
                const int32_t composition =
                    (flags & kCompositionOffset) != 0 ? static_cast<int32_t>(run.u32()) : 0;
                track.durations.push_back(duration);
                track.decodeEnd += duration;
                track.sizes.push_back(size);
                track.sync.push_back((sampleFlags & kNonSync) == 0);
                track.compositionOffsets.push_back(composition);
                offset += size;
            }
            if (!run.ok() || chunk.offset < dataBegin || offset > dataEnd) {
                return false;
            }
            if (count > 0) {
                track.chunks.push_back(chunk);
            }
            next = offset;
        }
        previousEnd = next;
    }
    return true;
}

// Where each track stood before a fragment was read, to go back to when the fragment does not
// read whole. Marks rather than a copy of the tracks: a copy per fragment would make an hour's
// recording, with thousands of fragments, take seconds to finish.
class TrackMarks {
  public:
    explicit TrackMarks(const std::map<uint32_t, TrackSamples>& tracks) {
        for (const auto& [id, track] : tracks) {
            marks_[id] =
                Mark{track.sizes.size(), track.chunks.size(), track.firstDecodeTime,
                     track.decodeEnd, track.durations.empty() ? 0 : track.durations.back()};
        }
    }

    void restore(std::map<uint32_t, TrackSamples>& tracks) const {
        for (auto& [id, track] : tracks) {
            const auto found = marks_.find(id);
            const Mark mark = found != marks_.end() ? found->second : Mark{};
            track.sizes.resize(mark.samples);
            track.durations.resize(mark.samples);
            track.compositionOffsets.resize(mark.samples);
            track.sync.resize(mark.samples);
            track.chunks.resize(mark.chunks);
            track.firstDecodeTime = mark.firstDecodeTime;
            track.decodeEnd = mark.decodeEnd;
            if (!track.durations.empty()) {
                track.durations.back() = mark.lastDuration;  // a gap may have lengthened it
            }
        }
    }

  private:
    struct Mark {
        size_t samples = 0;
        size_t chunks = 0;
        uint64_t firstDecodeTime = 0;
        uint64_t decodeEnd = 0;
        uint32_t lastDuration = 0;
    };
    std::map<uint32_t, Mark> marks_;
};

std::map<uint32_t, TrackDefaults> defaultsOf(const std::vector<uint8_t>& moov, const Box& root,
                                             std::vector<uint32_t>& trackOrder) {
    std::map<uint32_t, TrackDefaults> defaults;
    for (const Box& child : boxesIn(moov, root.bodyOffset(), root.end())) {
        if (child.type == fourcc("trak")) {
            if (const std::optional<Box> tkhd = childOf(moov, child, fourcc("tkhd"))) {
                ByteReader reader(moov.data() + tkhd->bodyOffset(),
                                  static_cast<size_t>(tkhd->bodySize()));
                const uint8_t version = reader.u8();
                reader.skip(3 + (version == 1 ? 16 : 8));
                trackOrder.push_back(reader.u32());
            }
        } else if (child.type == fourcc("mvex")) {
            for (const Box& trex : boxesIn(moov, child.bodyOffset(), child.end())) {
                if (trex.type != fourcc("trex")) {
                    continue;
                }
                ByteReader reader(moov.data() + trex.bodyOffset(),
                                  static_cast<size_t>(trex.bodySize()));
                reader.skip(4);
                const uint32_t trackId = reader.u32();
                reader.skip(4);  // sample description index
                TrackDefaults& track = defaults[trackId];
                track.duration = reader.u32();
                track.size = reader.u32();
                track.flags = reader.u32();
            }
        }
    }
    return defaults;
}

bool hasMovieExtends(const std::vector<uint8_t>& bytes, const Box& moov) {
    return childOf(bytes, moov, fourcc("mvex")).has_value();
}

}  // namespace

bool readAt(int fd, uint64_t offset, uint64_t size, std::vector<uint8_t>& into) {
    into.resize(static_cast<size_t>(size));
    uint64_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, into.data() + done, static_cast<size_t>(size - done),
                                    static_cast<off_t>(offset + done));
        if (got <= 0) {
            return false;
        }
        done += static_cast<uint64_t>(got);
    }
    return true;
}

std::optional<FragmentedFile> readFragmentedFile(int fd, std::string& why) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        why = "the file cannot be read";
        return std::nullopt;
    }
    FragmentedFile file;
    file.fileSize = static_cast<uint64_t>(info.st_size);
    std::map<uint32_t, TrackDefaults> defaults;
    std::vector<uint32_t> trackOrder;
    std::map<uint32_t, TrackSamples> tracks;
    bool haveInitialMoov = false;
    uint64_t at = 0;
    while (at < file.fileSize) {
        const std::optional<Box> box = readBoxHeader(fd, at, file.fileSize);
        if (!box) {
            break;  // cut off in the middle of a header or of a box
        }
        const bool small = box->size <= kLargestIndexBox;
        if (box->type == fourcc("moov") && small) {
            std::vector<uint8_t> bytes;
            if (!readAt(fd, box->offset, box->size, bytes)) {
                break;
            }
            const Box root{box->type, 0, box->size, box->headerSize};
            if (!haveInitialMoov && hasMovieExtends(bytes, root)) {
                haveInitialMoov = true;
                file.initialMoov = *box;
                file.initialMoovBytes = std::move(bytes);
                defaults = defaultsOf(file.initialMoovBytes, root, trackOrder);
            } else if (haveInitialMoov && !hasMovieExtends(bytes, root)) {
                file.finalMoov = *box;
            }
        } else if (box->type == fourcc("uuid") && box->bodySize() >= 16) {
            std::vector<uint8_t> usertype;
            if (readAt(fd, box->bodyOffset(), 16, usertype) && isInProgressId(usertype.data())) {
                file.inProgressMarkers.push_back(*box);
            }
        } else if (box->type == fourcc("mfra")) {
            file.otherIndexes.push_back(*box);
        } else if (box->type == fourcc("moof") && small && haveInitialMoov) {
            const std::optional<Box> mdat = readBoxHeader(fd, box->end(), file.fileSize);
            std::vector<uint8_t> moof;
            if (!mdat || mdat->type != fourcc("mdat") ||
                !readAt(fd, box->offset, box->size, moof)) {
                break;  // the fragment's media data did not arrive whole
            }
            const TrackMarks before(tracks);
            if (!readFragment(moof, box->offset, mdat->bodyOffset(), mdat->end(), defaults,
                              tracks)) {
                before.restore(tracks);
                break;
            }
            file.fragments.push_back(*box);
            file.completeEnd = mdat->end();
            at = mdat->end();
            continue;
        }
        if (box->type != fourcc("moof")) {
            file.completeEnd = std::max(file.completeEnd, box->end());
        }
        at = box->end();
    }
    if (!haveInitialMoov) {
        why = "no fragmented movie header";
        return std::nullopt;
    }
    for (const uint32_t id : trackOrder) {
        TrackSamples samples = tracks[id];
        samples.trackId = id;
        file.tracks.push_back(std::move(samples));
    }
    return file;
}

}  // namespace vantorel::mp4
