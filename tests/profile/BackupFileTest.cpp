#include "profile/BackupFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "common/Text.h"
#include "profile/ProfileRange.h"
#include "tests/support/TempFolder.h"

namespace verno::profile {
namespace {

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint16_t ValueAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

TEST(ProfilePointers, DecodeAsByteAddressOn512AndAsUnitsOn1024) {
    EXPECT_EQ(DecodePointer(0x34, 0x12, 512), 0x123);
    EXPECT_EQ(DecodePointer(0x34, 0x12, 1024), 0x1234);
}

TEST(ProfileRangeRule, WrappedAreaSavesTheWholeProfileArea) {
    const ProfileRange r512 = ApplyRangeRule(3000, 1000, 512);
    EXPECT_EQ(r512.start, 256);
    EXPECT_EQ(r512.end, 4063);
    EXPECT_EQ(r512.blockCount, 476);
    EXPECT_EQ(r512.firstReadAddress, 256);
    EXPECT_TRUE(r512.Fits());
    EXPECT_EQ(ApplyRangeRule(5000, 300, 1024).blockCount, 988);
}

TEST(ProfileRangeRule, RangeBelowTheAreaIsClampedToOneBlock) {
    const ProfileRange r = ApplyRangeRule(10, 100, 512);
    EXPECT_EQ(r.start, 256);
    EXPECT_EQ(r.end, 256);
    EXPECT_EQ(r.blockCount, 1);
    EXPECT_EQ(r.firstReadAddress, 256);
}

TEST(ProfileRangeRule, BlockCountsUpToTheTableFitAndBeyondAreRefused) {
    const ProfileRange r512 = ApplyRangeRule(256, 256 + 8 * 512 - 1, 1024);
    EXPECT_EQ(r512.blockCount, 512);
    EXPECT_TRUE(r512.Fits());
    const ProfileRange full = ApplyRangeRule(256, 256 + 8 * 1024 - 1, 1024);
    EXPECT_EQ(full.blockCount, 1024);
    EXPECT_TRUE(full.Fits());
    EXPECT_FALSE(ApplyRangeRule(256, 256 + 8 * 1024, 1024).Fits());
    // A damaged header can point far beyond the memory: write addresses above 32767 are refused.
    const ProfileRange high = ApplyRangeRule(0xFF00, 0xFFFF, 1024);
    EXPECT_LE(high.blockCount, 1024);
    EXPECT_FALSE(high.Fits());
}

TEST(BackupFileName, ModelInDecimalAndSixDigitSerial) {
    EXPECT_EQ(BackupFileName("/x/y", 1234, 56), std::filesystem::path("/x/y/1234.000056.bin"));
    EXPECT_EQ(BackupFileName("/x", 6978, 1234567).filename(), "6978.1234567.bin");
}

TEST(BackupFileLayout, FixedOffsetsColumnAfterColumn) {
    auto st = std::make_unique<ProfileState>();
    for (std::size_t i = 0; i < 17; ++i) st->ProfileHeader[i] = static_cast<std::uint8_t>(0xA0 + i);
    st->SerialDigits = {0, 0, 0, 0, 5, 6};
    st->ProfileBlocks[0][0] = 0;
    st->ProfileBlocks[1][0] = 0x0108;
    st->ProfileBlocks[1023][0] = 0x1F00;
    st->ProfileBlocks[2][1] = 0x7F;
    st->ProfileBlocks[2][129] = 0x7F;
    st->ProfileBlocks[3][1] = 0xFE;
    st->ProfileBlocks[3][129] = 0xFE;

    const std::vector<std::uint8_t> bytes = EncodeBackupFile(*st);
    ASSERT_EQ(bytes.size(), 266274u);
    EXPECT_EQ(bytes[0], 0xA0);
    EXPECT_EQ(bytes[16], 0xB0);
    EXPECT_EQ(bytes[17 + 4], 5);
    EXPECT_EQ(bytes[17 + 5], 6);
    EXPECT_EQ(bytes[17 + 6], 0);
    EXPECT_EQ(ValueAt(bytes, 34 + 2 * 1), 0x0108);
    EXPECT_EQ(ValueAt(bytes, 34 + 2 * 1023), 0x1F00);
    EXPECT_EQ(ValueAt(bytes, 2082 + 2 * 2), 0x7F);            // byte 0 of row 2
    EXPECT_EQ(ValueAt(bytes, 264226 + 2 * 3), 0xFE);          // row sum of row 3
    EXPECT_EQ(BackupValueOffset(3, 129), 264226u + 6u);

    BackupContents back;
    ASSERT_EQ(DecodeBackupFile(bytes, back), BackupFileStatus::Ok);
    EXPECT_EQ(back.ProfileHeader, st->ProfileHeader);
    EXPECT_EQ(back.SerialDigits, st->SerialDigits);
    EXPECT_EQ(back.ProfileBlocks, st->ProfileBlocks);
}

TEST(BackupFileLayout, WrongSizeAndOutOfRangeValuesAreDamaged) {
    auto st = std::make_unique<ProfileState>();
    std::vector<std::uint8_t> bytes = EncodeBackupFile(*st);
    auto contents = std::make_unique<BackupContents>();
    contents->ProfileHeader[0] = 0x77;

    std::vector<std::uint8_t> shorter(bytes.begin(), bytes.end() - 1);
    EXPECT_EQ(DecodeBackupFile(shorter, *contents), BackupFileStatus::Damaged);
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_EQ(DecodeBackupFile(longer, *contents), BackupFileStatus::Damaged);

    std::vector<std::uint8_t> data256 = bytes;
    data256[BackupValueOffset(5, 1) + 1] = 0x01;  // 256 in a data column
    EXPECT_EQ(DecodeBackupFile(data256, *contents), BackupFileStatus::Damaged);
    std::vector<std::uint8_t> negativeSum = bytes;
    negativeSum[BackupValueOffset(7, 129)] = 0xFF;
    negativeSum[BackupValueOffset(7, 129) + 1] = 0xFF;
    EXPECT_EQ(DecodeBackupFile(negativeSum, *contents), BackupFileStatus::Damaged);
    EXPECT_EQ(contents->ProfileHeader[0], 0x77) << "a damaged file must not be copied out";
}

TEST(BackupFileWriter, WritesTheWholeFileAndLeavesNoTemporary) {
    TempFolder dir;
    auto st = std::make_unique<ProfileState>();
    st->ProfileBlocks[10][50] = 200;
    st->ProfileBlocks[10][129] = 200;
    const auto path = dir.path() / "6978.000056.bin";
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(300000, 'x');  // a longer earlier file is replaced, not overwritten in place
    }
    const BackupWriteResult r = WriteBackupFile(path, EncodeBackupFile(*st));
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(ReadAll(path), EncodeBackupFile(*st));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    auto back = std::make_unique<BackupContents>();
    ASSERT_EQ(ReadBackupFile(path, *back), BackupFileStatus::Ok);
    EXPECT_EQ(back->ProfileBlocks[10][50], 200);
}

TEST(BackupFileWriter, MakesAMissingFolderForItsOwnerAlone) {
    TempFolder dir;
    const auto path = dir.path() / "state" / "verno-update" / "6978.000056.bin";
    auto st = std::make_unique<ProfileState>();
    ASSERT_TRUE(WriteBackupFile(path, EncodeBackupFile(*st)).ok);
    EXPECT_EQ(ReadAll(path), EncodeBackupFile(*st));
#ifndef _WIN32  // Windows keeps it private by where it lies, below the user's own folder
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    EXPECT_EQ(std::filesystem::status(path.parent_path()).permissions() & others, std::filesystem::perms::none);
#endif
}

TEST(BackupFileWriter, AFolderNamedInAnyAlphabetTakesTheFile) {
    TempFolder dir;
    const auto path = dir.path() / std::filesystem::path(u8"Dörte Ødegård") / "6978.000056.bin";
    auto st = std::make_unique<ProfileState>();
    st->ProfileBlocks[1][1] = 9;
    st->ProfileBlocks[1][129] = 9;
    ASSERT_TRUE(WriteBackupFile(path, EncodeBackupFile(*st)).ok);
    auto back = std::make_unique<BackupContents>();
    ASSERT_EQ(ReadBackupFile(path, *back), BackupFileStatus::Ok);
    EXPECT_EQ(back->ProfileBlocks[1][1], 9);
}

TEST(BackupFileWriter, AFolderThatCannotTakeTheFileGivesTheReasonAndNoFile) {
    TempFolder dir;
    std::ofstream(dir.path() / "a file") << "in the way";
    const auto path = dir.path() / "a file" / "6978.000056.bin";
    auto st = std::make_unique<ProfileState>();
    const BackupWriteResult r = WriteBackupFile(path, EncodeBackupFile(*st));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.reason.empty());
    EXPECT_EQ(r.reason.find("No such file"), std::string::npos) << "the folder's own cause: " << r.reason;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(BackupFileSafety, AFlippedByteIsDamagedAndNoLinkIsFollowedAndTheFileIsTheOwnersAlone) {
    TempFolder dir;
    auto st = std::make_unique<ProfileState>();
    st->ProfileBlocks[3][7] = 0x40;
    st->ProfileBlocks[3][129] = 0x40;
    std::vector<std::uint8_t> bytes = EncodeBackupFile(*st);
    auto back = std::make_unique<BackupContents>();
    ASSERT_EQ(DecodeBackupFile(bytes, *back), BackupFileStatus::Ok);
    bytes[BackupValueOffset(3, 7)] ^= 0x01;
    EXPECT_EQ(DecodeBackupFile(bytes, *back), BackupFileStatus::Damaged) << "the row's sum no longer holds";

#ifndef _WIN32  // mingw's library makes no links, nor does wine; CREATE_NEW opens no name that exists
    // Another user's file, with links planted at the backup's name and its old temporary name.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    const auto victim = dir.path() / "victim";
    std::ofstream(victim) << "not yours";
    const auto path = dir.path() / "6978.000056.bin";
    std::filesystem::create_symlink(victim, dir.path() / "6978.000056.bin.tmp");
    ASSERT_TRUE(WriteBackupFile(path, EncodeBackupFile(*st)).ok);
    EXPECT_EQ(ReadAll(victim), std::vector<std::uint8_t>({'n', 'o', 't', ' ', 'y', 'o', 'u', 'r', 's'}));
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    EXPECT_EQ(std::filesystem::status(path).permissions() & others, std::filesystem::perms::none);

    const auto linked = dir.path() / "6978.000057.bin";
    std::filesystem::create_symlink(victim, linked);
    EXPECT_FALSE(WriteBackupFile(linked, EncodeBackupFile(*st)).ok);
    EXPECT_EQ(std::filesystem::file_size(victim), 9u);
#endif
}

TEST(BackupFileReader, MissingFileAndDirectoryOfThatNameAreMissing) {
    TempFolder dir;
    auto back = std::make_unique<BackupContents>();
    EXPECT_EQ(ReadBackupFile(dir.path() / "nothing.bin", *back), BackupFileStatus::Missing);
    std::filesystem::create_directory(dir.path() / "dir.bin");
    EXPECT_EQ(ReadBackupFile(dir.path() / "dir.bin", *back), BackupFileStatus::Missing);
}

TEST(Placeholders, FilledInOnePass) {
    EXPECT_EQ(FillPlaceholders("file %1 (%2).", "a%2", "why"), "file a%2 (why).");
    EXPECT_EQ(FillPlaceholders("100%", "x"), "100%");
    EXPECT_EQ(FillPlaceholders("%3 %1", "x"), "%3 x");
}

}  // namespace
}  // namespace verno::profile
