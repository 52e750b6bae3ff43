#pragma once
// Builds firmware files: the inverse of the decoder. Used by verno-fwr, the demo and the tests.

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"

namespace verno::firmware {

struct FirmwareSource {
    Layout layout = Layout::Area1Only;
    std::uint16_t DcModelNumber = 6978;
    std::string FwVersion = "1B";  // two characters
    std::uint8_t FwRevision = 0;
    std::uint16_t DcMemoryBlocks = 512;
    std::string FwModelName = "VERNO 1B";
    std::string FwModelTag = "VERNO1B";
    std::uint16_t Area2Word = 0;
    std::vector<CodeBlock> Area1Blocks;  // ignored for Area2Only
    std::vector<CodeBlock> Area2Blocks;  // ignored for Area1Only
};

enum class PackError {
    None,
    VersionNotTwoCharacters,
    TextsTooLong,    // name and tag with their terminators exceed the header's 99 text bytes
    TextHasZero,     // a 0 would end the text early
    TooManyBlocks,   // more than 1024 in an area
    AddressTooHigh,  // 0x8000 or more
};

// Why a source cannot become a file the decoder reads back as given.
PackError CheckSource(const FirmwareSource& source);

// The header's sums are those of the blocks given, so the result passes every check. Empty when
// CheckSource refuses the source. Empty texts are allowed (they make error 4 / 5 files).
std::vector<std::uint8_t> PackFirmware(const FirmwareSource& source);

// A generated, clearly-not-real image: pattern code bytes, blocks at units 0, 8, 16, ...,
// each block byte the 8-bit sum of its code bytes, and the demo model tag, which no real DC
// reports: a real watch is refused as another model, so the demo can never reach one.
FirmwareSource DemoFirmware(Layout layout, int area1Blocks, int area2Blocks);

}  // namespace verno::firmware
