#include "firmware/FirmwareFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/firmware/FirmwareBytes.h"
#include "tests/firmware/FirmwareFixtures.h"

namespace verno::firmware {
namespace {

using test::Hex;
using test::RawFile;

// Area 1 only, two records; name "VERNO 1B X" (wraps the key past offset 15), tag "VERNO1B".
std::vector<std::uint8_t> LiteralArea1File() {
    auto file = Hex(
        "0A 60 02 05 55 0C 75 88  11 22 33 44 55 66 77 88"   // scrambled values, key
        "00 02 00 00 00 00 00 00  07 00 00 00 00 00 00 02"   // counts, revision 7, marker = 16-17
        "47 67 61 0A 1A 46 46 CA  31 7A 00 47 67 61 0A 1A 57 35 00");
    file.resize(kRecordSize, 0);
    std::vector<std::uint8_t> rec2(kRecordSize, 0x5A);  // code XOR 0x5A: all zero ...
    rec2[0] = 0x00;
    rec2[1] = 0x00;
    rec2[2] = 0x00;  // ... but the first, stored as 0, is 0x5A
    std::vector<std::uint8_t> rec3(kRecordSize, 0x13);
    rec3[0] = 0x00;
    rec3[1] = 0x08;
    rec3[130] = 0x10;
    file.insert(file.end(), rec2.begin(), rec2.end());
    file.insert(file.end(), rec3.begin(), rec3.end());
    return file;
}

TEST(DecodeFirmware, LiteralFileDecodesEveryValue) {
    const DecodeResult r = DecodeFirmware(LiteralArea1File());
    ASSERT_TRUE(r.ok()) << static_cast<int>(r.error);
    const FirmwareImage& f = r.image;
    EXPECT_EQ(f.DcModelNumber, 6978);
    EXPECT_EQ(f.FwVersion, "1A");
    EXPECT_EQ(f.DcMemoryBlocks, 512);
    EXPECT_EQ(f.FwRevision, 7);
    EXPECT_EQ(f.FwModelName, "VERNO 1B X");
    EXPECT_EQ(f.FwModelTag, "VERNO1B");
    EXPECT_TRUE(f.Area1Only());
    EXPECT_EQ(f.Area1Records, 2);
    EXPECT_EQ(f.Area1Sum, 0x6A);
    EXPECT_EQ(f.Area1Computed, 0x6A);
    EXPECT_EQ(f.Area2Records, 0);
    ASSERT_EQ(f.Area1Blocks.size(), 2u);
    EXPECT_TRUE(f.Area2Blocks.empty());
    EXPECT_EQ(f.Area1Blocks[0].address, 0);
    EXPECT_EQ(f.Area1Blocks[0].code[0], 0x5A);
    EXPECT_EQ(f.Area1Blocks[0].code[1], 0x00);
    EXPECT_EQ(f.Area1Blocks[0].code[127], 0x00);
    EXPECT_EQ(f.Area1Blocks[0].blockByte, 0x5A);
    EXPECT_EQ(f.Area1Blocks[1].address, 8);
    EXPECT_EQ(f.Area1Blocks[1].code[0], 0x13 ^ 0x10);
    EXPECT_EQ(f.Area1Blocks[1].blockByte, 0x10);
    EXPECT_EQ(f.RequiredVersion, "1A");
    EXPECT_EQ(f.RequiredRevision, 0);
}

TEST(DecodeFirmware, BaseHeaderFixtureWithTwoBlocks) {
    using namespace testing;
    Record header = BaseHeader();
    header.At(16, "00 02").At(30, "00 02");  // area 1 only, two records summing to 0x0103
    const auto r = DecodeFirmware(File({header, CodeRecord("01 23", 0x00, 0x80), CodeRecord("7F FF", 0x83, 0x83)}));
    ASSERT_TRUE(r.ok()) << static_cast<int>(r.error);
    EXPECT_EQ(r.image.DcModelNumber, 0x1234);
    EXPECT_EQ(r.image.FwRevision, 5);
    EXPECT_EQ(r.image.FwModelName, "AB");
    EXPECT_EQ(r.image.FwModelTag, "T");
    EXPECT_EQ(r.image.Area1Blocks[0].address, 0x0123);
    EXPECT_EQ(r.image.Area1Blocks[0].code[5], 0x80);
    EXPECT_EQ(r.image.Area1Blocks[1].address, 0x7FFF);
    EXPECT_EQ(r.image.Area1Blocks[1].code[127], 0x00);  // 0x83 stored XOR key 0x83
}

TEST(DecodeFirmware, OffsetsEqualToTheirKeyDescrambleToZero) {
    auto file = LiteralArea1File();
    for (int k = 0; k < 8; ++k) file[k] = file[k + 8];
    const DecodeResult r = DecodeFirmware(file);
    EXPECT_EQ(r.image.DcModelNumber, 0);
    EXPECT_EQ(r.image.FwVersion, std::string(2, '\0'));
    EXPECT_EQ(r.image.DcMemoryBlocks, 0);
    EXPECT_EQ(r.image.Area1Sum, 0);
    EXPECT_EQ(r.error, FirmwareError::ChecksumError1);  // the records still sum to 0x6A
}

TEST(DecodeFirmware, LayoutComesFromTheMarkerBytes) {
    RawFile f;
    f.Word(16, 1);
    f.Word(20, 1);
    f.Word(30, 1);  // equals both: area 1 wins
    f.Record(0x0100, 3);
    auto r = DecodeFirmware(f.Bytes(6978, "1A", 3));
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.image.Area1Only());

    f.Word(16, 2);  // now only 20-21 match
    f.Word(18, 3);
    f.Word(22, 0xBEEF);
    r = DecodeFirmware(f.Bytes(6978, "1A", 0x4444));
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.image.Area2Only());
    EXPECT_EQ(r.image.Area2Records, 1);
    EXPECT_EQ(r.image.Area2Sum, 3);
    EXPECT_EQ(r.image.Area2Word, 0xBEEF);
    EXPECT_EQ(r.image.Area1Records, 0);  // not read in this layout
    EXPECT_EQ(r.image.Area1Sum, 0);
    ASSERT_EQ(r.image.Area2Blocks.size(), 1u);
    EXPECT_EQ(r.image.Area2Blocks[0].address, 0x0100);

    // Only the first marker byte matches 16-17 and only the second matches 20-21: neither.
    f.Word(16, 0x0900);
    f.Word(20, 0x0001);
    f.Word(30, 0x0901);
    EXPECT_EQ(DecodeFirmware(f.Bytes()).image.layout, Layout::BothAreas);
}

TEST(DecodeFirmware, AreaOneOnlyIgnoresTheAreaTwoFields) {
    RawFile f;
    f.Word(16, 1);
    f.Word(30, 1);
    f.Word(18, 0x1234);
    f.Word(20, 7);
    f.Word(22, 0x5678);
    f.Record(0, 9);
    const auto r = DecodeFirmware(f.Bytes(6978, "1A", 9));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.image.Area2Sum, 0);
    EXPECT_EQ(r.image.Area2Records, 0);
    EXPECT_EQ(r.image.Area2Word, 0);
}

TEST(DecodeFirmware, BothAreasSkipsTheRecordBetweenThem) {
    RawFile f;
    f.Word(16, 3);
    f.Word(20, 2);
    f.Word(30, 0xFFFF);
    f.Word(22, 0x0102);
    for (std::uint16_t n = 2; n <= 7; ++n) f.Record(n, static_cast<std::uint8_t>(n));  // address = record number
    f.Word(18, 6 + 7);
    f.header()[24] = 2;
    const auto r = DecodeFirmware(f.Bytes(6978, "1B", 2 + 3 + 4));
    ASSERT_TRUE(r.ok()) << static_cast<int>(r.error);
    ASSERT_TRUE(r.image.BothAreas());
    ASSERT_EQ(r.image.Area1Blocks.size(), 3u);
    ASSERT_EQ(r.image.Area2Blocks.size(), 2u);
    EXPECT_EQ(r.image.Area1Blocks[0].address, 2);
    EXPECT_EQ(r.image.Area1Blocks[2].address, 4);
    EXPECT_EQ(r.image.Area2Blocks[0].address, 6);  // record 5 is not used
    EXPECT_EQ(r.image.Area2Blocks[1].address, 7);
    EXPECT_EQ(r.image.Area1Computed, 9);
    EXPECT_EQ(r.image.Area2Computed, 13);
    EXPECT_EQ(r.image.Area2Word, 0x0102);
    EXPECT_EQ(r.image.FwRevision, 2);
}

TEST(DecodeFirmware, EmptyTextsGiveErrorCodesFourAndFive) {
    RawFile f;  // no records, marker 0 = offsets 16-17: area 1 of 0 records, sum 0
    f.Texts("", "VERNO1B");
    auto r = DecodeFirmware(f.Bytes());
    EXPECT_EQ(r.error, FirmwareError::EmptyModelName);
    EXPECT_EQ(r.errorCode, 4);
    EXPECT_EQ(r.image.FwModelTag, "VERNO1B");  // the key restarts at 8 for the tag

    f = RawFile();
    f.Texts("VERNO 1B", "");
    r = DecodeFirmware(f.Bytes());
    EXPECT_EQ(r.error, FirmwareError::EmptyModelTag);
    EXPECT_EQ(r.errorCode, 5);

    f = RawFile();
    f.Texts("", "");
    r = DecodeFirmware(f.Bytes());
    EXPECT_EQ(r.error, FirmwareError::EmptyModelTag);
    EXPECT_EQ(r.errorCode, 5);  // replaces the 4
}

TEST(DecodeFirmware, EmptyNameStillReadsEveryRecordAndAReadErrorKeepsTheCode) {
    RawFile f;
    f.Texts("", "VERNO1B");
    f.Word(16, 2);
    f.Word(30, 2);
    f.Record(0, 1);
    auto r = DecodeFirmware(f.Bytes(6978, "1A", 1));  // one record missing
    EXPECT_EQ(r.error, FirmwareError::Unreadable);
    EXPECT_EQ(r.errorCode, 4);
}

TEST(DecodeFirmware, TextsMustEndInsideTheHeader) {
    RawFile f;
    std::fill(f.header().begin() + 32, f.header().end(), 0x41);  // no terminator at all
    auto r = DecodeFirmware(f.Bytes());
    EXPECT_EQ(r.error, FirmwareError::Unreadable);
    EXPECT_EQ(r.errorCode, 0);

    f.header()[130] = 0;  // name ends on the last byte: the tag would start outside the record
    r = DecodeFirmware(f.Bytes());
    EXPECT_EQ(r.error, FirmwareError::Unreadable);

    f.header()[129] = 0;  // name ends at 129, tag empty at 130
    r = DecodeFirmware(f.Bytes());
    EXPECT_EQ(r.error, FirmwareError::EmptyModelTag);
    EXPECT_EQ(r.image.FwModelName.size(), 129u - 32u);

    f = RawFile();
    f.Texts("", "");
    std::fill(f.header().begin() + 33, f.header().end(), 0x41);  // empty name, tag unterminated
    r = DecodeFirmware(f.Bytes());
    EXPECT_EQ(r.error, FirmwareError::Unreadable);
    EXPECT_EQ(r.errorCode, 4);
}

TEST(DecodeFirmware, ChecksAreMadeInOrder) {
    RawFile one;
    one.Word(16, 1);
    one.Word(30, 1);
    one.Record(0, 5);
    EXPECT_EQ(DecodeFirmware(one.Bytes(6978, "1A", 6)).error, FirmwareError::ChecksumError1);

    RawFile two;
    two.Word(20, 1);
    two.Word(30, 1);
    two.Word(16, 9);
    two.Word(18, 6);
    two.Record(0, 5);
    EXPECT_EQ(DecodeFirmware(two.Bytes()).error, FirmwareError::ChecksumError1);

    RawFile both;
    both.Word(16, 1);
    both.Word(20, 1);
    both.Word(30, 0x7777);
    both.Record(0, 5);
    both.Record(0, 0);  // the unused record
    both.Record(0, 7);
    both.Word(18, 8);  // area 2 wrong too: area 1 is reported first
    EXPECT_EQ(DecodeFirmware(both.Bytes(6978, "1A", 6)).error, FirmwareError::ChecksumError2);
    EXPECT_EQ(DecodeFirmware(both.Bytes(6978, "1A", 5)).error, FirmwareError::ChecksumError3);
    both.Word(18, 7);
    EXPECT_TRUE(DecodeFirmware(both.Bytes(6978, "1A", 5)).ok());
}

TEST(DecodeFirmware, AnEmptyAreaPassesOnlyWithSumZero) {
    RawFile f;
    EXPECT_TRUE(DecodeFirmware(f.Bytes(6978, "1A", 0)).ok());
    EXPECT_EQ(DecodeFirmware(f.Bytes(6978, "1A", 1)).error, FirmwareError::ChecksumError1);
}

TEST(DecodeFirmware, SumsWrapAt16Bits) {
    RawFile f;
    f.Word(16, 300);
    f.Word(30, 300);
    for (int i = 0; i < 300; ++i) f.Record(static_cast<std::uint16_t>(8 * i), 0xFF);
    const auto r = DecodeFirmware(f.Bytes(6978, "1A", static_cast<std::uint16_t>(300 * 0xFF % 65536)));
    EXPECT_TRUE(r.ok());
}

TEST(DecodeFirmware, BrokenFilesAreUnreadable) {
    const auto good = LiteralArea1File();
    EXPECT_EQ(DecodeFirmware({}).error, FirmwareError::Unreadable);
    EXPECT_EQ(DecodeFirmware(std::span(good).first(130)).error, FirmwareError::Unreadable);
    // An incomplete last record.
    EXPECT_EQ(DecodeFirmware(std::span(good).first(good.size() - 1)).error, FirmwareError::Unreadable);

    auto highAddress = good;
    highAddress[kRecordSize] = 0x80;
    EXPECT_EQ(DecodeFirmware(highAddress).error, FirmwareError::Unreadable);
    highAddress[kRecordSize] = 0x7F;
    EXPECT_TRUE(DecodeFirmware(highAddress).ok());

    RawFile big;
    big.Word(16, 1025);
    big.Word(30, 1025);
    for (int i = 0; i < 1025; ++i) big.Record(0, 0);
    EXPECT_EQ(DecodeFirmware(big.Bytes()).error, FirmwareError::Unreadable);

    // Two areas whose middle record is missing from the file.
    RawFile both;
    both.Word(16, 1);
    both.Word(20, 0);
    both.Word(30, 0x7777);
    both.Record(0, 0);
    EXPECT_EQ(DecodeFirmware(both.Bytes()).error, FirmwareError::Unreadable);
    both.Record(0, 0);
    EXPECT_TRUE(DecodeFirmware(both.Bytes()).ok());
}

TEST(LoadFirmwareFile, ReadsAFileAndReportsAMissingOne) {
    const auto dir = std::filesystem::temp_directory_path() / "verno-fw-load-test";
    std::filesystem::create_directories(dir);
    const auto path = dir / "VERNO.1B.FWR";
    const auto bytes = LiteralArea1File();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(LoadFirmwareFile(path).ok());
    // Records after those the header counts are never read, however many there are.
    std::ofstream(path, std::ios::binary | std::ios::app) << std::string(300000, '\x80');
    EXPECT_TRUE(LoadFirmwareFile(path).ok());
    EXPECT_EQ(LoadFirmwareFile(dir / "absent.FWR").cause, FileCause::Missing);
    EXPECT_EQ(LoadFirmwareFile(dir).error, FirmwareError::Missing);  // a folder is not a file ...
    EXPECT_EQ(LoadFirmwareFile(dir).cause, FileCause::Folder);       // ... and is named as one
    std::filesystem::remove_all(dir);
}

TEST(ReadIdentityRecord, VersionAndOptionalRevision) {
    FirmwareImage f;
    ReadIdentityRecord("DORV|VERNO|512|6978|1A", f);
    EXPECT_EQ(f.RequiredVersion, "1A");
    EXPECT_EQ(f.RequiredRevision, 0);
    ReadIdentityRecord("DORV|VERNO|512|6978|2C07", f);
    EXPECT_EQ(f.RequiredVersion, "2C");
    EXPECT_EQ(f.RequiredRevision, 7);
    ReadIdentityRecord("DORV|VERNO|512|6978|1B5", f);  // last two "B5": no number
    EXPECT_EQ(f.RequiredVersion, "1B");
    EXPECT_EQ(f.RequiredRevision, 0);
    ReadIdentityRecord("DORV|VERNO|512|6978|1A42", f);
    EXPECT_EQ(f.RequiredRevision, 42);
}

}  // namespace
}  // namespace verno::firmware
