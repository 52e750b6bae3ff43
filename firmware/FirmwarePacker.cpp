#include "firmware/FirmwarePacker.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/Sum8.h"
#include "firmware/Identity.h"

namespace verno::firmware {

namespace {

using Record = std::array<std::uint8_t, kRecordSize>;

void PutWord(Record& r, std::size_t offset, std::uint16_t value) {
    r[offset] = static_cast<std::uint8_t>(value >> 8);
    r[offset + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t BlockByteSum(const std::vector<CodeBlock>& blocks) {
    std::uint32_t sum = 0;
    for (const auto& b : blocks) sum += b.blockByte;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

// Key byte k (8..15) must differ from every text character it scrambles: a character equal to
// its key would be stored as 0 and end the text.
std::array<std::uint8_t, 8> ChooseKey(const std::string& name, const std::string& tag) {
    std::array<std::uint8_t, 8> key{0x5C, 0x3A, 0x71, 0x0E, 0xC4, 0x99, 0x27, 0xE3};
    for (std::size_t slot = 0; slot < key.size(); ++slot) {
        auto clashes = [&](std::uint8_t candidate) {
            for (const std::string* text : {&name, &tag})
                for (std::size_t i = slot; i < text->size(); i += key.size())
                    if (static_cast<std::uint8_t>((*text)[i]) == candidate) return true;
            return candidate == 0;
        };
        while (clashes(key[slot])) key[slot] = static_cast<std::uint8_t>(key[slot] + 1);
    }
    return key;
}

void PutText(Record& r, std::size_t& position, const std::string& text) {
    std::size_t key = 8;
    for (const char c : text) {
        r[position++] = static_cast<std::uint8_t>(c) ^ r[key];
        key = key == 15 ? 8 : key + 1;
    }
    r[position++] = 0;
}

void AppendRecord(std::vector<std::uint8_t>& out, const Record& r) { out.insert(out.end(), r.begin(), r.end()); }

void AppendBlocks(std::vector<std::uint8_t>& out, const std::vector<CodeBlock>& blocks) {
    for (const auto& b : blocks) {
        Record r{};
        PutWord(r, 0, b.address);
        for (std::size_t c = 0; c < b.code.size(); ++c) r[c + 2] = b.code[c] ^ b.blockByte;
        r[130] = b.blockByte;
        AppendRecord(out, r);
    }
}

std::uint16_t MarkerDifferentFrom(std::uint16_t a, std::uint16_t b) {
    std::uint16_t marker = 0xFFFF;
    while (marker == a || marker == b) --marker;
    return marker;
}

}  // namespace

PackError CheckSource(const FirmwareSource& s) {
    if (s.FwVersion.size() != 2) return PackError::VersionNotTwoCharacters;
    if (s.FwModelName.size() + s.FwModelTag.size() + 2 > kRecordSize - 32) return PackError::TextsTooLong;
    if (s.FwModelName.find('\0') != std::string::npos || s.FwModelTag.find('\0') != std::string::npos)
        return PackError::TextHasZero;
    const bool hasArea1 = s.layout != Layout::Area2Only;
    const bool hasArea2 = s.layout != Layout::Area1Only;
    if ((hasArea1 && s.Area1Blocks.size() > kMaxAreaRecords) || (hasArea2 && s.Area2Blocks.size() > kMaxAreaRecords))
        return PackError::TooManyBlocks;
    auto tooHigh = [](const std::vector<CodeBlock>& blocks) {
        return std::any_of(blocks.begin(), blocks.end(), [](const CodeBlock& b) { return b.address >= 0x8000; });
    };
    if ((hasArea1 && tooHigh(s.Area1Blocks)) || (hasArea2 && tooHigh(s.Area2Blocks))) return PackError::AddressTooHigh;
    return PackError::None;
}

std::vector<std::uint8_t> PackFirmware(const FirmwareSource& s) {
    if (CheckSource(s) != PackError::None) return {};
    const bool hasArea1 = s.layout != Layout::Area2Only;
    const bool hasArea2 = s.layout != Layout::Area1Only;
    const auto area1Count = static_cast<std::uint16_t>(hasArea1 ? s.Area1Blocks.size() : 0);
    const auto area2Count = static_cast<std::uint16_t>(hasArea2 ? s.Area2Blocks.size() : 0);

    Record h{};
    const auto key = ChooseKey(s.FwModelName, s.FwModelTag);
    std::copy(key.begin(), key.end(), h.begin() + 8);

    std::array<std::uint8_t, 8> plain{};
    plain[0] = static_cast<std::uint8_t>(s.DcModelNumber >> 8);
    plain[1] = static_cast<std::uint8_t>(s.DcModelNumber & 0xFF);
    plain[2] = static_cast<std::uint8_t>(s.FwVersion.size() > 0 ? s.FwVersion[0] : 0);
    plain[3] = static_cast<std::uint8_t>(s.FwVersion.size() > 1 ? s.FwVersion[1] : 0);
    const std::uint16_t area1Sum = hasArea1 ? BlockByteSum(s.Area1Blocks) : 0;
    plain[4] = static_cast<std::uint8_t>(area1Sum >> 8);
    plain[5] = static_cast<std::uint8_t>(area1Sum & 0xFF);
    plain[6] = static_cast<std::uint8_t>(s.DcMemoryBlocks >> 8);
    plain[7] = static_cast<std::uint8_t>(s.DcMemoryBlocks & 0xFF);
    for (std::size_t k = 0; k < 8; ++k) h[k] = plain[k] ^ key[k];

    // An area-2-only file must not look like an area-1-only one: its offsets 16-17 are not
    // read, so they get a value unlike its marker.
    const std::uint16_t field16 = hasArea1 ? area1Count : static_cast<std::uint16_t>(~area2Count);
    PutWord(h, 16, field16);
    PutWord(h, 18, hasArea2 ? BlockByteSum(s.Area2Blocks) : 0);
    PutWord(h, 20, area2Count);
    PutWord(h, 22, hasArea2 ? s.Area2Word : 0);
    h[24] = s.FwRevision;
    switch (s.layout) {
        case Layout::Area1Only: PutWord(h, 30, field16); break;
        case Layout::Area2Only: PutWord(h, 30, area2Count); break;
        case Layout::BothAreas: PutWord(h, 30, MarkerDifferentFrom(field16, area2Count)); break;
    }
    std::size_t position = 32;
    PutText(h, position, s.FwModelName);
    PutText(h, position, s.FwModelTag);

    std::vector<std::uint8_t> out;
    AppendRecord(out, h);
    if (hasArea1) AppendBlocks(out, s.Area1Blocks);
    if (s.layout == Layout::BothAreas) AppendRecord(out, Record{});  // the unused record between the areas
    if (hasArea2) AppendBlocks(out, s.Area2Blocks);
    return out;
}

FirmwareSource DemoFirmware(Layout layout, int area1Blocks, int area2Blocks) {
    FirmwareSource s;
    s.layout = layout;
    s.FwModelTag = kDemoModelTag;
    s.FwRevision = layout == Layout::Area1Only ? 0 : 2;
    s.Area2Word = 0x0102;
    auto makeArea = [](int count, std::uint32_t seed) {
        std::vector<CodeBlock> blocks(static_cast<std::size_t>(std::clamp(count, 0, 1024)));
        std::uint32_t state = seed;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            CodeBlock& b = blocks[i];
            b.address = static_cast<std::uint16_t>(8 * i);
            for (auto& byte : b.code) {
                state = state * 1664525u + 1013904223u;
                byte = static_cast<std::uint8_t>(state >> 24);
            }
            // Says what it is to anyone who dumps the file or the DC's code store.
            constexpr std::string_view kLabel = "VERNO DEMO FIRMWARE - NOT DC CODE";
            std::copy(kLabel.begin(), kLabel.end(), b.code.begin());
            b.blockByte = Sum8(b.code);
        }
        return blocks;
    };
    if (layout != Layout::Area2Only) s.Area1Blocks = makeArea(area1Blocks, 0xDE40u);
    if (layout != Layout::Area1Only) s.Area2Blocks = makeArea(area2Blocks, 0xC0DEu);
    return s;
}

}  // namespace verno::firmware
