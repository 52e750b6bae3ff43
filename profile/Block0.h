#pragma once
// Block 0 of the DC's memory as the profile code reads it: the serial number and the 16-byte
// profile header with its start and end pointers. The offsets are named here and nowhere else.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/protocol/CommModule.h"

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
    static constexpr auto kHeaderUnit = static_cast<std::uint16_t>(kHeaderOffset / 16);  // where it is written back

    // The block as ReadMemory(0, 0) leaves it: at RxBuf(1..128).
    static Block0 InRxBuf(const link::CommModule& comm);

    std::int32_t Serial() const;  // 0..999999 for valid BCD
    ProfileHeaderBytes Header() const;

private:
    explicit Block0(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint8_t At(std::size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }

    std::span<const std::uint8_t> bytes_;
};

}  // namespace verno::profile
