#pragma once
// The circular record buffer of an event log file: offsets from 0x30 (just
// after the header) up to `end` (the end of the file); whatever runs past the
// end goes on at 0x30.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "formats/evt/evt.h"

namespace quorvin::evt {

class Ring {
public:
    // `end`: a multiple of 4 above kHeaderSize.
    explicit Ring(std::uint32_t end) : end_(end) {}

    std::uint32_t End() const { return end_; }
    std::uint32_t Length() const { return end_ - kHeaderSize; }
    bool Holds(std::uint32_t offset) const { return offset >= kHeaderSize && offset < end_; }

    // The offset `n` bytes after `offset` (held; n <= Length()).
    std::uint32_t Advance(std::uint32_t offset, std::uint32_t n) const {
        const std::uint32_t room = end_ - offset;
        return n < room ? offset + n : kHeaderSize + (n - room);
    }

    // Bytes from `from` forward to `to` (both held).
    std::uint32_t Distance(std::uint32_t from, std::uint32_t to) const {
        return to >= from ? to - from : (end_ - from) + (to - kHeaderSize);
    }

    // Whether `n` bytes at `offset` run past the end of the file.
    bool Splits(std::uint32_t offset, std::uint32_t n) const { return n > end_ - offset; }

    // Copies `n` bytes at `offset` of `file` (held; n <= Length()) into
    // `out`; zeros when the bytes are not there.
    void Read(const std::uint8_t* file, std::uint32_t offset, std::uint32_t n, std::uint8_t* out) const {
        if (!Holds(offset) || n > Length()) {
            std::memset(out, 0, n);
            return;
        }
        const std::uint32_t first = std::min(n, end_ - offset);
        std::memcpy(out, file + offset, first);
        std::memcpy(out + first, file + kHeaderSize, n - first);
    }

    void Write(std::uint8_t* file, std::uint32_t offset, const std::uint8_t* in, std::uint32_t n) const {
        if (!Holds(offset) || n > Length()) return;
        const std::uint32_t first = std::min(n, end_ - offset);
        std::memcpy(file + offset, in, first);
        std::memcpy(file + kHeaderSize, in + first, n - first);
    }

private:
    std::uint32_t end_;
};

}  // namespace quorvin::evt
