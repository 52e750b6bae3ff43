#include "profile/ProfileRange.h"

#include "profile/ProfileState.h"

namespace verno::profile {

namespace {
constexpr std::int32_t kProfileAreaStart = 256;
constexpr std::int32_t kMaxWriteAddress = 32767;
}  // namespace

std::int32_t DecodePointer(std::uint8_t lo, std::uint8_t hi, std::uint16_t dcMemoryBlocks) {
    if (dcMemoryBlocks == 1024) return hi * 256 + lo;
    return hi * 16 + lo / 16;
}

bool ProfileRange::Fits() const {
    if (blockCount > static_cast<std::int32_t>(kProfileRows)) return false;
    if (blockCount == 0) return true;
    const std::int32_t lastWrite = firstReadAddress + 8 * (blockCount - 1) - kProfileAreaStart;
    return firstReadAddress - kProfileAreaStart >= 0 && lastWrite <= kMaxWriteAddress;
}

ProfileRange ApplyRangeRule(std::int32_t start, std::int32_t end, std::uint16_t dcMemoryBlocks) {
    ProfileRange r;
    if (end < start) {
        end = 8 * static_cast<std::int32_t>(dcMemoryBlocks) - 33;
        start = kProfileAreaStart;
    }
    if (start < kProfileAreaStart) start = kProfileAreaStart;
    if (end < kProfileAreaStart) end = kProfileAreaStart;
    r.start = start;
    r.end = end;
    r.blockCount = end / 8 - start / 8 + 1;
    if (r.blockCount < 1) r.blockCount = 0;
    r.firstReadAddress = (start / 8) * 8;
    return r;
}

bool RowsFollowRange(const ProfileTable& rows, const ProfileRange& range) {
    for (std::int32_t j = 0; j < range.blockCount; ++j) {
        if (rows[static_cast<std::size_t>(j)][0] != range.firstReadAddress - kProfileAreaStart + 8 * j) return false;
    }
    return true;
}

}  // namespace verno::profile
