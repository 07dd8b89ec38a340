#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vantorel::mp4 {

// A four-character box type as the file spells it, in the order of its bytes.
constexpr uint32_t fourcc(std::string_view text) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(text[3]));
}

// Where one box lies: its type, the offset of its header and its whole size, header included.
struct Box {
    uint32_t type = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t headerSize = 8;

    uint64_t end() const { return offset + size; }
    uint64_t bodyOffset() const { return offset + headerSize; }
    uint64_t bodySize() const { return size - headerSize; }
};

// Reads big-endian fields from a span of bytes; reading past the end yields zeros and marks
// the reader as failed, so a truncated box is noticed once instead of at every field.
class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const std::vector<uint8_t>& bytes)
        : ByteReader(bytes.data(), bytes.size()) {}

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    void skip(size_t count);
    size_t position() const { return position_; }
    size_t remaining() const { return position_ <= size_ ? size_ - position_ : 0; }
    bool ok() const { return ok_; }

  private:
    bool take(size_t count);

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool ok_ = true;
};

// The box whose header starts at `offset` within `bytes`, or nothing when the header is cut
// short or claims more than `limit` (the end of its parent).
std::optional<Box> boxAt(const std::vector<uint8_t>& bytes, uint64_t offset, uint64_t limit);
// The box whose header starts `header` (`available` bytes of it read), lying at `offset` with
// `room` bytes to the end of what holds it; none when the header does not fit that room.
std::optional<Box> parseBoxHeader(const uint8_t* header, size_t available, uint64_t offset,
                                  uint64_t room);
// The boxes directly inside [begin, end) of `bytes`, up to the first that does not fit.
std::vector<Box> boxesIn(const std::vector<uint8_t>& bytes, uint64_t begin, uint64_t end);
// The first child of `parent` (a box within `bytes`) of `type`.
std::optional<Box> childOf(const std::vector<uint8_t>& bytes, const Box& parent, uint32_t type);

// Builds boxes into a byte buffer: open one, write its fields, close it, and its size is filled
// in. Boxes nest.
class BoxWriter {
  public:
    void u8(uint8_t value);
    void u16(uint16_t value);
    void u32(uint32_t value);
    void u64(uint64_t value);
    void bytes(const uint8_t* data, size_t size);
    void bytes(const std::vector<uint8_t>& data, uint64_t offset, uint64_t size);
    void open(uint32_t type);
    // A full box: type, then version and 24 bits of flags.
    void openFull(uint32_t type, uint8_t version, uint32_t flags);
    void close();

    const std::vector<uint8_t>& data() const { return data_; }

  private:
    std::vector<uint8_t> data_;
    std::vector<size_t> open_;
};

}  // namespace vantorel::mp4
