#pragma once
// The 8-bit sum that guards the DC's frames, blocks and profile rows: the bytes added up,
// modulo 256.

#include <cstdint>
#include <span>

namespace verno {

constexpr std::uint8_t Sum8(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint8_t>(sum & 0xFF);
}

}  // namespace verno
