#pragma once
// Reads a fuzz input front to back; past its end every byte reads as 0 and every span as empty.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace verno::fuzz {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool Done() const { return position_ >= bytes_.size(); }
    std::size_t Left() const { return Done() ? 0 : bytes_.size() - position_; }
    std::uint8_t Byte() { return Done() ? 0 : bytes_[position_++]; }
    std::uint8_t Peek() const { return Done() ? 0 : bytes_[position_]; }
    std::uint16_t Word() {
        const std::uint8_t high = Byte();
        return static_cast<std::uint16_t>(high << 8 | Byte());
    }
    // At most count bytes: fewer when the input ends first.
    std::span<const std::uint8_t> Take(std::size_t count) {
        const std::size_t n = std::min(count, Left());
        const auto part = bytes_.subspan(Done() ? bytes_.size() : position_, n);
        position_ += n;
        return part;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace verno::fuzz
