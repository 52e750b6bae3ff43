#include "profile/ProfileRange.h"

#include "profile/Geometry.h"
#include "profile/ProfileImage.h"

namespace verno::profile {

std::int32_t DecodePointer(std::uint8_t lo, std::uint8_t hi, std::uint16_t dcMemoryBlocks) {
    if (dcMemoryBlocks == 1024) return hi * 256 + lo;
    return hi * 16 + lo / 16;
}

bool ProfileRange::Fits() const {
    if (blockCount > static_cast<std::int32_t>(kProfileRows)) return false;
    if (blockCount == 0) return true;
    const std::int32_t lastWrite = WriteAddress(firstReadAddress + UnitOfBlock(blockCount - 1));
    return WriteAddress(firstReadAddress) >= 0 && lastWrite <= kMaxWriteAddress;
}

ProfileRange ApplyRangeRule(std::int32_t start, std::int32_t end, std::uint16_t dcMemoryBlocks) {
    ProfileRange r;
    if (end < start) {
        end = ProfileAreaEnd(dcMemoryBlocks);
        start = kProfileAreaStart;
    }
    if (start < kProfileAreaStart) start = kProfileAreaStart;
    if (end < kProfileAreaStart) end = kProfileAreaStart;
    r.start = start;
    r.end = end;
    r.blockCount = BlockOfUnit(end) - BlockOfUnit(start) + 1;
    if (r.blockCount < 1) r.blockCount = 0;
    r.firstReadAddress = UnitOfBlock(BlockOfUnit(start));
    return r;
}

bool RowsFollowRange(const ProfileTable& rows, const ProfileRange& range) {
    for (std::int32_t j = 0; j < range.blockCount; ++j) {
        if (rows[static_cast<std::size_t>(j)][0] != WriteAddress(range.firstReadAddress + UnitOfBlock(j))) return false;
    }
    return true;
}

}  // namespace verno::profile
