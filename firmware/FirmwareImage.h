#pragma once
// The firmware file decoded into memory: built once at start-up, then only read.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace verno::firmware {

inline constexpr std::size_t kRecordSize = 131;
inline constexpr std::size_t kMaxAreaRecords = 1024;

enum class Layout { Area1Only, Area2Only, BothAreas };

// One row of a block table: the DC address (units of 16 bytes), the de-scrambled code bytes and
// the record's block byte (sent as the 129th payload byte).
struct CodeBlock {
    std::uint16_t address = 0;  // below 0x8000
    std::array<std::uint8_t, 128> code{};
    std::uint8_t blockByte = 0;
};

struct FirmwareImage {
    Layout layout = Layout::Area1Only;

    std::uint16_t DcModelNumber = 0;
    std::string FwVersion;  // two single-byte characters
    std::uint8_t FwRevision = 0;
    std::uint16_t DcMemoryBlocks = 0;
    std::string FwModelName;  // single-byte characters, as stored
    std::string FwModelTag;

    // Header values; 0 where the layout takes no such value.
    std::uint16_t Area1Sum = 0;
    std::uint16_t Area1Records = 0;
    std::uint16_t Area2Sum = 0;
    std::uint16_t Area2Records = 0;
    std::uint16_t Area2Word = 0;

    std::vector<CodeBlock> Area1Blocks;
    std::vector<CodeBlock> Area2Blocks;
    // 16-bit sums of the areas' block bytes, as computed from the records.
    std::uint16_t Area1Computed = 0;
    std::uint16_t Area2Computed = 0;

    // From the device-identity record.
    std::string RequiredVersion = "1A";
    std::uint8_t RequiredRevision = 0;

    bool Area1Only() const { return layout == Layout::Area1Only; }
    bool Area2Only() const { return layout == Layout::Area2Only; }
    bool BothAreas() const { return layout == Layout::BothAreas; }
};

}  // namespace verno::firmware
