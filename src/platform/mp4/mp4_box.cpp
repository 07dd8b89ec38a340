#include "platform/mp4/mp4_box.h"

namespace vantorel::mp4 {

bool ByteReader::take(size_t count) {
    if (!ok_ || count > remaining()) {
        ok_ = false;
        return false;
    }
    return true;
}

uint8_t ByteReader::u8() {
    return take(1) ? data_[position_++] : 0;
}

uint16_t ByteReader::u16() {
    const uint16_t high = u8();
    return static_cast<uint16_t>((high << 8) | u8());
}

uint32_t ByteReader::u32() {
    const uint32_t high = u16();
    return (high << 16) | u16();
}

uint64_t ByteReader::u64() {
    const uint64_t high = u32();
    return (high << 32) | u32();
}

void ByteReader::skip(size_t count) {
    if (take(count)) {
        position_ += count;
    }
}

std::optional<Box> parseBoxHeader(const uint8_t* header, size_t available, uint64_t offset,
                                  uint64_t room) {
    ByteReader reader(header, available);
    Box box;
    box.offset = offset;
    box.size = reader.u32();
    box.type = reader.u32();
    if (box.size == 1) {
        box.size = reader.u64();
        box.headerSize = 16;
    } else if (box.size == 0) {
        box.size = room;  // to the end of its parent, or of the file
    }
    if (!reader.ok() || box.size < box.headerSize || box.size > room) {
        return std::nullopt;
    }
    return box;
}

std::optional<Box> boxAt(const std::vector<uint8_t>& bytes, uint64_t offset, uint64_t limit) {
    if (offset + 8 > limit || limit > bytes.size()) {
        return std::nullopt;
    }
    return parseBoxHeader(bytes.data() + offset, static_cast<size_t>(limit - offset), offset,
                          limit - offset);
}

std::vector<Box> boxesIn(const std::vector<uint8_t>& bytes, uint64_t begin, uint64_t end) {
    std::vector<Box> boxes;
    for (uint64_t at = begin; at < end;) {
        const std::optional<Box> box = boxAt(bytes, at, end);
        if (!box) {
            break;
        }
        boxes.push_back(*box);
        at = box->end();
    }
    return boxes;
}

std::optional<Box> childOf(const std::vector<uint8_t>& bytes, const Box& parent, uint32_t type) {
    for (const Box& child : boxesIn(bytes, parent.bodyOffset(), parent.end())) {
        if (child.type == type) {
            return child;
        }
    }
    return std::nullopt;
}

void BoxWriter::u8(uint8_t value) {
    data_.push_back(value);
}

void BoxWriter::u16(uint16_t value) {
    u8(static_cast<uint8_t>(value >> 8));
    u8(static_cast<uint8_t>(value));
}

void BoxWriter::u32(uint32_t value) {
    u16(static_cast<uint16_t>(value >> 16));
    u16(static_cast<uint16_t>(value));
}

void BoxWriter::u64(uint64_t value) {
    u32(static_cast<uint32_t>(value >> 32));
    u32(static_cast<uint32_t>(value));
}

void BoxWriter::bytes(const uint8_t* data, size_t size) {
    data_.insert(data_.end(), data, data + size);
}

void BoxWriter::bytes(const std::vector<uint8_t>& data, uint64_t offset, uint64_t size) {
    bytes(data.data() + offset, static_cast<size_t>(size));
}

void BoxWriter::open(uint32_t type) {
    open_.push_back(data_.size());
    u32(0);  // the size, filled in by close()
    u32(type);
}

void BoxWriter::openFull(uint32_t type, uint8_t version, uint32_t flags) {
    open(type);
    u32((uint32_t{version} << 24) | (flags & 0xFFFFFF));
}

void BoxWriter::close() {
    const size_t start = open_.back();
    open_.pop_back();
    const auto size = static_cast<uint32_t>(data_.size() - start);
    for (int i = 0; i < 4; ++i) {
        data_[start + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }
}

}  // namespace vantorel::mp4
