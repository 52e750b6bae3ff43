#pragma once
// The DC's memory as the profile code sees it: addresses in 16-byte units, 128-byte blocks of
// eight units, 16-byte pieces, and the profile area from unit 256 on. Every conversion between
// them is written here and nowhere else.

#include <cstddef>
#include <cstdint>

namespace verno::profile {

inline constexpr std::int32_t kUnitBytes = 16;
inline constexpr std::int32_t kBlockBytes = 128;
inline constexpr std::int32_t kUnitsPerBlock = kBlockBytes / kUnitBytes;
inline constexpr std::size_t kPieceBytes = 16;
inline constexpr std::size_t kPiecesPerBlock = kBlockBytes / kPieceBytes;
// The first unit of the profile area; a pointer below it is raised to it.
inline constexpr std::int32_t kProfileAreaStart = 256;
inline constexpr std::int32_t kMaxWriteAddress = 32767;

// A restored block is written 256 units below the unit it was read from.
constexpr std::int32_t WriteAddress(std::int32_t readUnit) { return readUnit - kProfileAreaStart; }
// The unit a block starts at, and the block a unit lies in.
constexpr std::int32_t UnitOfBlock(std::int32_t block) { return block * kUnitsPerBlock; }
constexpr std::int32_t BlockOfUnit(std::int32_t unit) { return unit / kUnitsPerBlock; }
// The last unit of the profile area: a wrapped profile is saved up to here.
constexpr std::int32_t ProfileAreaEnd(std::uint16_t memoryBlocks) { return UnitOfBlock(memoryBlocks) - 33; }
// The unit of a byte offset in block 0.
constexpr std::uint16_t UnitOfOffset(std::size_t offset) { return static_cast<std::uint16_t>(offset / kUnitBytes); }

}  // namespace verno::profile
