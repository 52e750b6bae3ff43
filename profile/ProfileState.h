#pragma once
// The DC's profile as saved around an update: held in memory for the restore and mirrored in
// the backup file for the recovery after an interrupted update.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace verno::profile {

inline constexpr std::size_t kProfileRows = 1024;
inline constexpr std::size_t kProfileColumns = 130;  // write address, 128 bytes, row sum
inline constexpr std::size_t kSumColumn = 129;

// Row r is saved block r: column 0 its write address (read address - 256, in units), columns
// 1..128 its bytes, column 129 the 8-bit sum of those bytes.
using ProfileRow = std::array<std::int16_t, kProfileColumns>;
using ProfileTable = std::array<ProfileRow, kProfileRows>;

struct ProfileState {
    // Bytes 0..15 the profile header of block 0, byte 16 their 8-bit sum.
    std::array<std::uint8_t, 17> ProfileHeader{};
    // Bytes 0..5 the serial number's decimal digits as values 0..9, the rest 0.
    std::array<std::uint8_t, 17> SerialDigits{};
    ProfileTable ProfileBlocks{};
    std::int16_t ProfileBlockCount = 0;  // rows of ProfileBlocks in use, 0..1024
    // True while the profile is to be saved before and restored after the update.
    bool KeepProfile = false;
    std::filesystem::path BackupFilePath;
    std::int32_t DcSerial = 0;
    // The window's flag, written by the procedures: False while a saved profile still waits to
    // be written back, which makes Close offer the recovery.
    bool ProfileSafe = true;
};

}  // namespace verno::profile
