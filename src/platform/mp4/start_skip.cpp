#include "platform/mp4/start_skip.h"

namespace vantorel::mp4 {

namespace {

constexpr uint32_t kRateOne = 0x00010000;

// One edit that plays the track from `skip` on. A duration of 0 stands for the whole of the
// fragments, whose length is not known yet.
void writeSkipEdit(BoxWriter& out, uint32_t skip) {
    out.open(fourcc("edts"));
    out.openFull(fourcc("elst"), 0, 0);
    out.u32(1);
    out.u32(0);
    out.u32(skip);
    out.u32(kRateOne);
    out.close();
    out.close();
}

void copyTrack(BoxWriter& out, const std::vector<uint8_t>& bytes, const Box& trak, uint32_t skip) {
    out.open(fourcc("trak"));
    for (const Box& child : boxesIn(bytes, trak.bodyOffset(), trak.end())) {
        if (child.type == fourcc("edts") && skip != 0) {
            continue;
        }
        out.bytes(bytes, child.offset, child.size);
        if (child.type == fourcc("tkhd") && skip != 0) {
            writeSkipEdit(out, skip);
        }
    }
    out.close();
}

uint64_t sizeOfAll(const std::vector<Box>& boxes) {
    uint64_t size = 0;
    for (const Box& box : boxes) {
        size += box.size;
    }
    return size;
}

}  // namespace

std::vector<uint8_t> withStartSkips(const std::vector<uint8_t>& header,
                                    const std::vector<uint32_t>& skips) {
    const std::vector<Box> boxes = boxesIn(header, 0, header.size());
    if (sizeOfAll(boxes) != header.size()) {
        return header;
    }
    BoxWriter out;
    size_t track = 0;
    for (const Box& box : boxes) {
        if (box.type != fourcc("moov")) {
            out.bytes(header, box.offset, box.size);
            continue;
        }
        out.open(fourcc("moov"));
        for (const Box& child : boxesIn(header, box.bodyOffset(), box.end())) {
            if (child.type == fourcc("trak")) {
                copyTrack(out, header, child, track < skips.size() ? skips[track] : 0);
                ++track;
            } else {
                out.bytes(header, child.offset, child.size);
            }
        }
        out.close();
    }
    return out.data();
}

uint64_t startSkipOf(const std::vector<uint8_t>& bytes, const Box& trak) {
    const std::optional<Box> edts = childOf(bytes, trak, fourcc("edts"));
    const std::optional<Box> elst = edts ? childOf(bytes, *edts, fourcc("elst")) : std::nullopt;
    if (!elst) {
        return 0;
    }
    ByteReader reader(bytes.data() + elst->bodyOffset(), static_cast<size_t>(elst->bodySize()));
    const uint8_t version = reader.u8();
    reader.skip(3);
    if (reader.u32() != 1) {
        return 0;
    }
    reader.skip(version == 1 ? 8 : 4);  // the duration
    const uint64_t mediaTime = version == 1 ? reader.u64() : reader.u32();
    // -1 marks an empty edit, which skips nothing.
    const bool skips = version == 1 ? mediaTime != UINT64_MAX : mediaTime != UINT32_MAX;
    return reader.ok() && skips ? mediaTime : 0;
}

}  // namespace vantorel::mp4
