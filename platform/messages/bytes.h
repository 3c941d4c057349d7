#pragma once
// Checked little-endian reads from a byte span, for the message module reader.

#include <cstddef>
#include <cstdint>

namespace quorvin::messages::bytes {

// The one bounds rule: `size` bytes at `offset` lie within `limit` bytes.
constexpr bool Fits(std::size_t offset, std::size_t size, std::size_t limit) {
    return size <= limit && offset <= limit - size;
}

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

}  // namespace quorvin::messages::bytes
