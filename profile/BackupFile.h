#pragma once
// The backup file of one DC's profile: header, serial digits and the whole block table, always
// 266,274 bytes, no header or version field of its own. Only the bytes; where files lie and how
// they are written is ProfileFiles'.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "profile/ProfileImage.h"

namespace verno::profile {

inline constexpr std::size_t kBackupHeaderOffset = 0;
inline constexpr std::size_t kBackupSerialOffset = 17;
inline constexpr std::size_t kBackupBlocksOffset = 34;
inline constexpr std::size_t kBackupFileSize = kBackupBlocksOffset + 2 * kProfileRows * kProfileColumns;

// Offset of the 16-bit little-endian value of row r, column c: the table is stored column after
// column.
constexpr std::size_t BackupValueOffset(std::size_t row, std::size_t column) {
    return kBackupBlocksOffset + 2 * (row + kProfileRows * column);
}

// A serial number as the backup files write it: six digits, "004711".
std::string SerialText(std::int32_t serial);
// The serial record of a backup file: six decimal digits as values 0..9, the rest 0; and back.
std::array<std::uint8_t, 17> SerialDigitsOf(std::int32_t serial);
std::int32_t SerialOf(const std::array<std::uint8_t, 17>& digits);

// "<model>.<serial as 000000>.bin" in the given folder.
std::filesystem::path BackupFileName(const std::filesystem::path& folder, std::uint16_t modelNumber,
                                     std::int32_t serial);

// The same profile always gives the same bytes: rows past the count and the serial record's
// spare bytes are written as zero.
std::vector<std::uint8_t> EncodeBackupFile(const ProfileImage& image);

enum class BackupCheck {
    Ok,         // a profile for this memory size, every row in use whole and where its header says
    Empty,      // its pointers are equal: it holds no profile
    OtherSize,  // whole, but made with a firmware file of the other memory size
    // Not 266,274 bytes, a header whose sum does not hold, or a row in use with a value out of
    // range, bytes that do not add up to its sum, or another address than its header gives it.
    Damaged,
};

struct DecodedBackup {
    BackupCheck check = BackupCheck::Damaged;
    std::unique_ptr<ProfileImage> image;  // Ok only: the profile, its block count set
};

// Takes a backup file's bytes apart for a DC of that memory size. Rows past the block count
// carry no meaning and are not looked at.
DecodedBackup DecodeBackupFile(std::span<const std::uint8_t> bytes, std::uint16_t dcMemoryBlocks);

}  // namespace verno::profile
