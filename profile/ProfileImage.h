#pragma once
// A DC's profile as it is saved and written back: the header of block 0, the serial number and
// the blocks of the profile's range. A backup file holds exactly this.

#include <array>
#include <cstddef>
#include <cstdint>

namespace verno::profile {

inline constexpr std::size_t kProfileRows = 1024;
inline constexpr std::size_t kProfileColumns = 130;  // write address, 128 bytes, row sum
inline constexpr std::size_t kSumColumn = 129;

// Row r is saved block r: column 0 its write address (read address - 256, in units), columns
// 1..128 its bytes, column 129 the 8-bit sum of those bytes.
using ProfileRow = std::array<std::int16_t, kProfileColumns>;
using ProfileTable = std::array<ProfileRow, kProfileRows>;

// 266 KB: held on the heap.
struct ProfileImage {
    // Bytes 0..15 the profile header of block 0, byte 16 their 8-bit sum.
    std::array<std::uint8_t, 17> ProfileHeader{};
    // Bytes 0..5 the serial number's decimal digits as values 0..9, the rest 0.
    std::array<std::uint8_t, 17> SerialDigits{};
    ProfileTable ProfileBlocks{};
    std::int16_t ProfileBlockCount = 0;  // rows of ProfileBlocks in use, 0..1024

    // The same profile: header, serial number and the rows in use. Rows past the count carry
    // no meaning.
    bool SameProfile(const ProfileImage& other) const;
};

}  // namespace verno::profile
