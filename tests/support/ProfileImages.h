#pragma once
// Saved profiles made for tests: a header that points at a range, rows that carry their write
// addresses, a pattern of bytes and their sums, as a backup of a real DC would.

#include <memory>
#include <vector>

#include "common/Sum8.h"
#include "dcsim/SimulatedDc.h"
#include "profile/Block0.h"
#include "profile/ProfileImage.h"
#include "profile/ProfileRange.h"
#include "profile/BackupFile.h"

namespace verno {

inline std::unique_ptr<profile::ProfileImage> MakeProfileImage(int memoryBlocks, std::uint16_t startUnit,
                                                               std::uint16_t endUnit, std::uint32_t serial,
                                                               std::uint8_t seed = 0) {
    std::vector<std::uint8_t> block0(128, 0);
    dcsim::SimulatedDc::WriteSerial(block0, serial);
    dcsim::SimulatedDc::WritePointers(block0, memoryBlocks, startUnit, endUnit);
    for (std::size_t i = 64; i < 72; ++i) block0[i] = static_cast<std::uint8_t>(seed + i);
    auto image = std::make_unique<profile::ProfileImage>();
    const profile::ProfileHeaderBytes header = profile::Block0(block0).Header();
    std::copy(header.begin(), header.end(), image->ProfileHeader.begin());
    image->ProfileHeader[16] = Sum8(header);
    image->SerialDigits = profile::SerialDigitsOf(static_cast<std::int32_t>(serial));
    const auto [start, end] = profile::DecodeHeaderPointers(header, static_cast<std::uint16_t>(memoryBlocks));
    if (start == end) return image;
    const profile::ProfileRange range = profile::ApplyRangeRule(start, end, static_cast<std::uint16_t>(memoryBlocks));
    image->ProfileBlockCount = static_cast<std::int16_t>(range.blockCount);
    for (std::int32_t j = 0; j < range.blockCount; ++j) {
        profile::ProfileRow& row = image->ProfileBlocks[static_cast<std::size_t>(j)];
        row[0] = static_cast<std::int16_t>(range.firstReadAddress + 8 * j - 256);
        std::array<std::uint8_t, 128> bytes{};
        for (std::size_t c = 0; c < 128; ++c) bytes[c] = static_cast<std::uint8_t>(seed + j * 13 + c * 5);
        for (std::size_t c = 0; c < 128; ++c) row[c + 1] = bytes[c];
        row[profile::kSumColumn] = Sum8(bytes);
    }
    return image;
}

}  // namespace verno
