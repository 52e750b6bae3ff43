#pragma once
// History files are gzip members (RFC 1952) holding a backup file: zcat of one gives the backup
// file back. The member's header carries when the profile was read and the backup file's name.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace verno::profile {

struct GzipMember {
    std::vector<std::uint8_t> bytes;  // what it holds
    std::int64_t mtime = 0;           // seconds since 1970 (UTC); 0 when not given
    std::string name;                 // the original file name; empty when not given
};

std::vector<std::uint8_t> Gzip(std::span<const std::uint8_t> bytes, std::int64_t mtime, const std::string& name);

// One whole member and nothing after it, at most `limit` bytes unpacked; nullopt otherwise.
std::optional<GzipMember> Gunzip(std::span<const std::uint8_t> gz, std::size_t limit);

inline bool LooksGzipped(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B;
}

}  // namespace verno::profile
