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
    Damaged,     // wrong size, or a byte value outside 0..255, or a negative write address
    Unreadable,  // exists but cannot be opened or read
};

// Decodes and checks the bytes of a backup file; out is written only on Ok.
BackupFileStatus DecodeBackupFile(std::span<const std::uint8_t> bytes, BackupContents& out);
BackupFileStatus ReadBackupFile(const std::filesystem::path& path, BackupContents& out);

struct BackupWriteResult {
    bool ok = false;
    std::string reason;  // the system's reason when not ok
};

// Never leaves a half-written backup under the final name: the bytes go to a temporary file in
// the same folder, reach the disk, and only then replace the backup by a rename. A missing folder
// is made, readable by its owner alone.
BackupWriteResult WriteBackupFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace verno::profile
