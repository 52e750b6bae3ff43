#pragma once
// The backup file of one DC's profile: header, serial digits and the whole block table, always
// 266,274 bytes, no header or version field of its own.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "profile/ProfileState.h"

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

std::vector<std::uint8_t> EncodeBackupFile(const ProfileState& state);

// What a backup file holds; the block count is not stored, it follows from the header.
struct BackupContents {
    std::array<std::uint8_t, 17> ProfileHeader{};
    std::array<std::uint8_t, 17> SerialDigits{};
    ProfileTable ProfileBlocks{};
};

enum class BackupFileStatus {
    Ok,
    Missing,     // no normal file of that name
    // Wrong size, a byte value outside 0..255, a negative write address, or a row whose bytes do
    // not add up to its sum.
    Damaged,
    Unreadable,  // exists but cannot be opened or read
};

// Decodes and checks the bytes of a backup file; out is written only on Ok.
BackupFileStatus DecodeBackupFile(std::span<const std::uint8_t> bytes, BackupContents& out);
BackupFileStatus ReadBackupFile(const std::filesystem::path& path, BackupContents& out);

struct BackupWriteResult {
    bool ok = false;
    std::string reason;  // the system's reason when not ok
};

// Never leaves a half-written backup under the final name: the bytes go to a fresh temporary file
// in the same folder (created exclusively, never through a link), reach the disk, and only then
// replace the backup by a rename. The file is readable by its owner alone, and so is a folder
// made for it. A backup path that is a symbolic link is refused.
BackupWriteResult WriteBackupFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Moves a file aside to `to`, or, when that name is taken, to `to` with a number before its
// extension: never over another file. The name it now has, or empty when it could not be moved.
std::filesystem::path MoveAside(const std::filesystem::path& from, const std::filesystem::path& to);

// Now, or when a file was last written, in UTC as a file name can carry it: "20261208T093512Z".
std::string UtcStamp();
std::string UtcStamp(const std::filesystem::path& file);
// A file's modification time in UTC, "2026-12-08 09:35 UTC"; empty when it cannot be read.
std::string FileTimeText(const std::filesystem::path& file);

}  // namespace verno::profile
