#pragma once
// Little-endian fields in byte buffers, for every reader and writer of binary
// data (event log files and records, PE message tables). One bounds rule
// for every offset and size pair: Fits.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvin::bytes {

// The one bounds rule: `size` bytes at `offset` lie within `limit` bytes.
constexpr bool Fits(std::size_t offset, std::size_t size, std::size_t limit) {
    return size <= limit && offset <= limit - size;
}

// Reads at `p`; the caller has checked that the bytes are there.
inline std::uint16_t LoadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Checked reads from `size` bytes at `data`: 0 when the field does not fit.
inline std::uint16_t U16At(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    return Fits(offset, 2, size) ? LoadU16(data + offset) : 0;
}
inline std::uint32_t U32At(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    return Fits(offset, 4, size) ? LoadU32(data + offset) : 0;
}

inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    const std::size_t at = out.size();
    out.resize(at + 4);
    StoreU32(out.data() + at, v);
}

constexpr std::uint64_t RoundUp(std::uint64_t n, std::uint64_t step) { return (n + step - 1) / step * step; }

// A span of bytes that is only read through checked accessors.
class Span {
public:
    Span() = default;
    Span(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    bool Has(std::size_t offset, std::size_t size) const { return Fits(offset, size, size_); }

    // False, and `value` untouched, when the field does not lie within the span.
    bool U16(std::size_t offset, std::uint16_t& value) const {
        if (!Has(offset, 2)) return false;
        value = static_cast<std::uint16_t>(data_[offset] | data_[offset + 1] << 8);
        return true;
    }
    bool U32(std::size_t offset, std::uint32_t& value) const {
        if (!Has(offset, 4)) return false;
        value = static_cast<std::uint32_t>(data_[offset]) | static_cast<std::uint32_t>(data_[offset + 1]) << 8 |
                static_cast<std::uint32_t>(data_[offset + 2]) << 16 |
                static_cast<std::uint32_t>(data_[offset + 3]) << 24;
        return true;
    }
    // The sub-span of `size` bytes at `offset`; false when it does not fit.
    bool Sub(std::size_t offset, std::size_t size, Span& part) const {
        if (!Has(offset, size)) return false;
        part = Span(data_ + offset, size);
        return true;
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace quorvin::bytes
