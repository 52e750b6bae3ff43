#pragma once
// Block 0 of the DC's memory as the profile code reads it: the serial number and the 16-byte
// profile header with its start and end pointers. The offsets are named here and nowhere else.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "profile/Geometry.h"

namespace verno::profile {

inline constexpr std::size_t kProfileHeaderSize = 16;
using ProfileHeaderBytes = std::array<std::uint8_t, kProfileHeaderSize>;

// The header's pointers, decoded to units for the DC's memory size.
struct HeaderPointers {
    std::int32_t start = 0;
    std::int32_t end = 0;
};
// header: at least its first 12 bytes; the pointers are low byte first at 8 and 10.
HeaderPointers DecodeHeaderPointers(std::span<const std::uint8_t> header, std::uint16_t dcMemoryBlocks);

class Block0 {
public:
    static constexpr std::uint16_t kUnit = 0;          // its address for ReadMemory
    static constexpr std::size_t kSerialOffset = 10;   // three packed BCD bytes, most significant first
    static constexpr std::size_t kHeaderOffset = 64;   // the profile header
    static constexpr std::uint16_t kHeaderUnit = UnitOfOffset(kHeaderOffset);  // where it is written back

    // The block's bytes as a read of unit 0 gave them; they must outlive this view.
    explicit Block0(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::int32_t Serial() const;  // 0..999999 for valid BCD
    ProfileHeaderBytes Header() const;

private:
    std::uint8_t At(std::size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }

    std::span<const std::uint8_t> bytes_;
};

}  // namespace verno::profile
