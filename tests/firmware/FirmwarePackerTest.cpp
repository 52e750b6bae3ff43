#include "firmware/FirmwarePacker.h"

#include <gtest/gtest.h>

#include "firmware/FirmwareFile.h"

namespace verno::firmware {
namespace {

void ExpectSameBlocks(const std::vector<CodeBlock>& a, const std::vector<CodeBlock>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].address, b[i].address) << i;
        EXPECT_EQ(a[i].code, b[i].code) << i;
        EXPECT_EQ(a[i].blockByte, b[i].blockByte) << i;
    }
}

TEST(PackFirmware, EveryLayoutDecodesBackToItsSource) {
    for (const Layout layout : {Layout::Area1Only, Layout::Area2Only, Layout::BothAreas}) {
        SCOPED_TRACE(static_cast<int>(layout));
        const FirmwareSource s = DemoFirmware(layout, 5, 3);
        const auto bytes = PackFirmware(s);
        const std::size_t records =
            1 + s.Area1Blocks.size() + s.Area2Blocks.size() + (layout == Layout::BothAreas ? 1 : 0);
        EXPECT_EQ(bytes.size(), records * kRecordSize);
        const DecodeResult r = DecodeFirmware(bytes);
        ASSERT_TRUE(r.ok()) << static_cast<int>(r.error);
        EXPECT_EQ(r.image.layout, layout);
        EXPECT_EQ(r.image.DcModelNumber, 6978);
        EXPECT_EQ(r.image.FwVersion, "1B");
        EXPECT_EQ(r.image.FwRevision, layout == Layout::Area1Only ? 0 : 2);
        EXPECT_EQ(r.image.DcMemoryBlocks, 512);
        EXPECT_EQ(r.image.FwModelName, "VERNO 1B");
        EXPECT_EQ(r.image.FwModelTag, "DEMO-1B");
        ExpectSameBlocks(r.image.Area1Blocks, s.Area1Blocks);
        ExpectSameBlocks(r.image.Area2Blocks, s.Area2Blocks);
        EXPECT_EQ(r.image.Area2Word, layout == Layout::Area1Only ? 0 : s.Area2Word);
    }
}

TEST(DemoFirmware, BlocksSitEveryEightUnitsAndSayWhatTheyAre) {
    const FirmwareSource s = DemoFirmware(Layout::BothAreas, 4, 2);
    ASSERT_EQ(s.Area1Blocks.size(), 4u);
    ASSERT_EQ(s.Area2Blocks.size(), 2u);
    EXPECT_EQ(s.Area1Blocks[3].address, 24);
    EXPECT_EQ(s.Area2Blocks[1].address, 8);
    const std::string label(s.Area1Blocks[0].code.begin(), s.Area1Blocks[0].code.begin() + 10);
    EXPECT_EQ(label, "VERNO DEMO");
    EXPECT_EQ(PackFirmware(s), PackFirmware(DemoFirmware(Layout::BothAreas, 4, 2)));  // deterministic
}

TEST(PackFirmware, TextsThatHitTheDefaultKeyStillDecode) {
    FirmwareSource s = DemoFirmware(Layout::Area1Only, 1, 0);
    // Every character equal to a first-choice key byte of its slot, and Latin-1 beyond ASCII.
    s.FwModelName = "\x5C\x3A\x71\x0E\xC4\x99\x27\xE3\x5C\x3A";
    s.FwModelTag = "\x5C\x3A\x71\x0E\xC4\x99\x27\xE3";
    const auto r = DecodeFirmware(PackFirmware(s));
    ASSERT_TRUE(r.ok()) << static_cast<int>(r.error);
    EXPECT_EQ(r.image.FwModelName, s.FwModelName);
    EXPECT_EQ(r.image.FwModelTag, s.FwModelTag);
}

TEST(PackFirmware, LongestTextsFillTheHeader) {
    FirmwareSource s = DemoFirmware(Layout::Area2Only, 0, 1);
    s.FwModelName = std::string(60, 'N');
    s.FwModelTag = std::string(37, 'T');  // 60 + 37 + 2 terminators = 99 bytes, offsets 32-130
    const auto r = DecodeFirmware(PackFirmware(s));
    ASSERT_TRUE(r.ok()) << static_cast<int>(r.error);
    EXPECT_EQ(r.image.FwModelTag, s.FwModelTag);

    s.FwModelTag += 'T';
    EXPECT_EQ(CheckSource(s), PackError::TextsTooLong);
    EXPECT_TRUE(PackFirmware(s).empty());
}

TEST(PackFirmware, RefusesWhatTheDecoderCouldNotReadBack) {
    FirmwareSource s = DemoFirmware(Layout::Area1Only, 1, 0);
    EXPECT_EQ(CheckSource(s), PackError::None);
    s.FwVersion = "1";
    EXPECT_EQ(CheckSource(s), PackError::VersionNotTwoCharacters);
    s = DemoFirmware(Layout::Area1Only, 1, 0);
    s.FwModelName = std::string("A\0B", 3);
    EXPECT_EQ(CheckSource(s), PackError::TextHasZero);
    s = DemoFirmware(Layout::Area1Only, 1, 0);
    s.Area1Blocks[0].address = 0x8000;
    EXPECT_EQ(CheckSource(s), PackError::AddressTooHigh);
    s.layout = Layout::Area2Only;  // area 1 is not written in this layout
    EXPECT_EQ(CheckSource(s), PackError::None);
    s = DemoFirmware(Layout::BothAreas, 1, 1024);
    EXPECT_EQ(CheckSource(s), PackError::None);
    s.Area2Blocks.push_back({});
    EXPECT_EQ(CheckSource(s), PackError::TooManyBlocks);
}

TEST(PackFirmware, EmptyTextsMakeTheErrorCodeFiles) {
    FirmwareSource s = DemoFirmware(Layout::Area1Only, 1, 0);
    s.FwModelName = "";
    EXPECT_EQ(DecodeFirmware(PackFirmware(s)).errorCode, 4);
    s.FwModelTag = "";
    EXPECT_EQ(DecodeFirmware(PackFirmware(s)).errorCode, 5);
}

}  // namespace
}  // namespace verno::firmware
