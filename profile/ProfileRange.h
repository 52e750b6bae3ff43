#pragma once
// Where the profile lies in DC memory, from the two pointers of the profile header.

#include <cstdint>

#include "profile/ProfileImage.h"

namespace verno::profile {

// A 1024-block DC keeps its pointers in units; a smaller one keeps byte addresses.
std::int32_t DecodePointer(std::uint8_t lo, std::uint8_t hi, std::uint16_t dcMemoryBlocks);

struct ProfileRange {
    std::int32_t start = 0;  // units
    std::int32_t end = 0;
    std::int32_t blockCount = 0;  // may exceed the table when the header is damaged
    std::int32_t firstReadAddress = 0;

    // A range the table and the write addresses can hold: at most 1024 blocks, and every
    // write address (read address - 256) within 0..32767.
    bool Fits() const;
};

// The range rule for a non-empty profile (start != end): a wrapped area saves the whole profile
// area, pointers below unit 256 are raised to it.
ProfileRange ApplyRangeRule(std::int32_t start, std::int32_t end, std::uint16_t dcMemoryBlocks);

// Whether rows 0 .. blockCount-1 carry the write addresses the range gives them: the first read
// address less 256, then 8 units further for each row.
bool RowsFollowRange(const ProfileTable& rows, const ProfileRange& range);

}  // namespace verno::profile
