#include "profile/BackupFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "common/Text.h"
#include "profile/Gzip.h"
#include "profile/History.h"
#include "profile/ProfileFiles.h"
#include "profile/ProfileRange.h"
#include "tests/support/FaultyFiles.h"
#include "tests/support/ProfileImages.h"
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

void SetValue(std::vector<std::uint8_t>& bytes, std::size_t row, std::size_t column, std::uint16_t v) {
    bytes[BackupValueOffset(row, column)] = static_cast<std::uint8_t>(v & 0xFF);
    bytes[BackupValueOffset(row, column) + 1] = static_cast<std::uint8_t>(v >> 8);
}

BackupCheck Check(const std::vector<std::uint8_t>& bytes, std::uint16_t memoryBlocks = 512) {
    return DecodeBackupFile(bytes, memoryBlocks).check;
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

TEST(BackupFileLayout, FixedOffsetsColumnAfterColumnAndTheSameProfileAlwaysGivesTheSameBytes) {
    auto image = MakeProfileImage(512, 288, 312, 56);  // rows 0..3 at write addresses 32..56
    ASSERT_EQ(image->ProfileBlockCount, 4);
    image->ProfileBlocks[9][5] = 77;      // a stale row past the count
    image->SerialDigits[7] = 0x31;        // and a stray byte in the serial record's spare bytes

    const std::vector<std::uint8_t> bytes = EncodeBackupFile(*image);
    ASSERT_EQ(bytes.size(), 266274u);
    EXPECT_EQ(bytes[8], image->ProfileHeader[8]);
    EXPECT_EQ(bytes[16], image->ProfileHeader[16]);
    EXPECT_EQ(bytes[17 + 4], 5);
    EXPECT_EQ(bytes[17 + 5], 6);
    EXPECT_EQ(bytes[17 + 7], 0) << "spare bytes are zero";
    EXPECT_EQ(ValueAt(bytes, 34 + 2 * 1), 40);                       // row 1's write address
    EXPECT_EQ(ValueAt(bytes, 2082 + 2 * 2), image->ProfileBlocks[2][1]);  // byte 0 of row 2
    EXPECT_EQ(ValueAt(bytes, 264226 + 2 * 3), image->ProfileBlocks[3][129]);
    EXPECT_EQ(ValueAt(bytes, BackupValueOffset(9, 5)), 0) << "rows past the count are zero";

    const DecodedBackup back = DecodeBackupFile(bytes, 512);
    ASSERT_EQ(back.check, BackupCheck::Ok);
    EXPECT_TRUE(back.image->SameProfile(*image));
    EXPECT_EQ(EncodeBackupFile(*back.image), bytes);
}

TEST(BackupFileChecks, OnlyTheHeaderAndTheRowsInUseCountAndAFileOfTheOtherSizeIsTold) {
    const std::vector<std::uint8_t> good = EncodeBackupFile(*MakeProfileImage(512, 288, 312, 56));
    ASSERT_EQ(Check(good), BackupCheck::Ok);
    EXPECT_EQ(Check({good.begin(), good.end() - 1}), BackupCheck::Damaged);
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_EQ(Check(longer), BackupCheck::Damaged);

    // A flipped header byte, even with every row sum recomputed, leaves the header's own sum.
    std::vector<std::uint8_t> header = good;
    header[3] ^= 0x10;
    EXPECT_EQ(Check(header), BackupCheck::Damaged);

    std::vector<std::uint8_t> wide = good;
    SetValue(wide, 2, 1, 256);
    EXPECT_EQ(Check(wide), BackupCheck::Damaged);
    std::vector<std::uint8_t> flipped = good;
    flipped[BackupValueOffset(3, 7)] ^= 0x01;
    EXPECT_EQ(Check(flipped), BackupCheck::Damaged) << "the row's sum no longer holds";
    std::vector<std::uint8_t> moved = good;
    SetValue(moved, 2, 0, 48 + 8);
    EXPECT_EQ(Check(moved), BackupCheck::Damaged) << "a row where its header does not put it";

    // Row 600 of a four-row profile carries no meaning.
    std::vector<std::uint8_t> pastTheCount = good;
    SetValue(pastTheCount, 600, 1, 0x7FFF);
    EXPECT_EQ(Check(pastTheCount), BackupCheck::Ok);

    std::vector<std::uint8_t> empty = EncodeBackupFile(*MakeProfileImage(512, 400, 400, 56));
    EXPECT_EQ(Check(empty), BackupCheck::Empty);

    // A profile of 64 blocks from a 1024-block DC would read as one block on a 512-block one.
    const std::vector<std::uint8_t> big = EncodeBackupFile(*MakeProfileImage(1024, 256, 767, 56));
    EXPECT_EQ(Check(big, 1024), BackupCheck::Ok);
    EXPECT_EQ(Check(big, 512), BackupCheck::OtherSize);
    EXPECT_EQ(Check(good, 1024), BackupCheck::OtherSize);
}

class ProfileFilesTest : public ::testing::Test {
protected:
    TempFolder dir;
    platform::SystemFiles disk;
    ProfileFiles files{disk};
    const std::vector<std::uint8_t> bytes = EncodeBackupFile(*MakeProfileImage(512, 288, 312, 56));

    std::vector<std::string> Names(const std::filesystem::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(ProfileFilesTest, ANewFileTakesANameWhereNoneIsInAPrivateFolderAndLeavesNoTemporary) {
    const auto path = dir.path() / std::filesystem::path(u8"Dörte Ødegård") / "6978.000056.bin";
    const ProfileFiles::Created created = files.CreateVerified(path, bytes);
    ASSERT_FALSE(created.error) << created.error.message();
    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_EQ(Names(path.parent_path()), std::vector<std::string>{"6978.000056.bin"});
    EXPECT_TRUE(files.Unchanged(created.record));

    // Never over a file: the name is taken.
    const std::vector<std::uint8_t> other(100, 1);
    EXPECT_EQ(files.CreateVerified(path, other).error, std::errc::file_exists);
    EXPECT_EQ(ReadAll(path), bytes);
    // A folder in the way is the cause told, not the missing file behind it.
    std::ofstream(dir.path() / "a file") << "in the way";
    const auto blocked = files.CreateVerified(dir.path() / "a file" / "x.bin", bytes);
    EXPECT_TRUE(blocked.error);
    EXPECT_NE(blocked.error, std::errc::no_such_file_or_directory) << blocked.error.message();
#ifndef _WIN32  // Windows keeps it private by where it lies, below the user's own folder
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    EXPECT_EQ(std::filesystem::status(path.parent_path()).permissions() & others, std::filesystem::perms::none);
    EXPECT_EQ(std::filesystem::status(path).permissions() & others, std::filesystem::perms::none);
    // A link planted at the name is never written through.
    const auto victim = dir.path() / "victim";
    std::ofstream(victim) << "not yours";
    std::filesystem::create_symlink(victim, dir.path() / "6978.000057.bin");
    EXPECT_TRUE(files.CreateVerified(dir.path() / "6978.000057.bin", bytes).error);
    EXPECT_EQ(std::filesystem::file_size(victim), 9u);
#endif
}

TEST_F(ProfileFilesTest, WhatIsNoProfileFileIsToldAsWhatItIs) {
    EXPECT_EQ(files.Read(dir.path() / "nothing.bin", 512).status, ProfileFileStatus::Missing);
    std::filesystem::create_directory(dir.path() / "dir.bin");
    EXPECT_EQ(files.Read(dir.path() / "dir.bin", 512).status, ProfileFileStatus::NotAFile);
#ifndef _WIN32
    EXPECT_EQ(files.Read("/dev/zero", 512).status, ProfileFileStatus::NotAFile);
    ASSERT_EQ(::mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(files.Read(dir.path() / "pipe", 512).status, ProfileFileStatus::NotAFile) << "and it did not wait";
#endif
    std::ofstream(dir.path() / "notes.txt") << "dive log, not a profile";
    EXPECT_EQ(files.Read(dir.path() / "notes.txt", 512).status, ProfileFileStatus::Damaged);
    ASSERT_FALSE(files.CreateVerified(dir.path() / "p.bin", bytes).error);
    const ProfileFile read = files.Read(dir.path() / "p.bin", 512);
    ASSERT_EQ(read.status, ProfileFileStatus::Ok);
    EXPECT_EQ(read.image->ProfileBlockCount, 4);

    // A plain file whose header happens to begin with the gzip signature.
    auto odd = MakeProfileImage(512, 288, 312, 56);
    odd->ProfileHeader[0] = 0x1F;
    odd->ProfileHeader[1] = 0x8B;
    odd->ProfileHeader[16] = Sum8(std::span(odd->ProfileHeader).first(16));
    ASSERT_FALSE(files.CreateVerified(dir.path() / "gz.bin", EncodeBackupFile(*odd)).error);
    EXPECT_EQ(files.Read(dir.path() / "gz.bin", 512).status, ProfileFileStatus::Ok);
}

TEST_F(ProfileFilesTest, OnlyTheFileThatWasReadIsRemovedAndSetAsideNeverLandsOnAnother) {
    const auto path = dir.path() / "6978.000056.bin";
    const FileRecord record = files.CreateVerified(path, bytes).record;
    // Somebody else put another file under the name meanwhile.
    std::filesystem::rename(path, dir.path() / "mine");
    ASSERT_FALSE(files.CreateVerified(path, std::vector<std::uint8_t>(bytes.size(), 0)).error);
    EXPECT_FALSE(files.RemoveIfUnchanged(record));
    EXPECT_TRUE(std::filesystem::exists(path));

    const auto aside = dir.path() / "6978.000056.bin.other-size";
    std::ofstream(aside) << "an earlier one";
    EXPECT_EQ(files.SetAside(path, aside), dir.path() / "6978.000056.bin.other-size-2");
    EXPECT_EQ(ReadAll(aside).size(), 14u);

}

TEST_F(ProfileFilesTest, TemporaryFilesOfKilledRunsGoAndThoseOfRunningOnesStay) {
    FaultyFiles runs;  // its runs are numbered 1, 2, ...
    std::filesystem::create_directories(dir.path() / "history" / "000056");
    const auto killed = dir.path() / "6978.000056.bin.00000001deadbeef.tmp";
    const auto historyKilled = dir.path() / "history" / "000056" / "x.bak.gz.0000000112345678.tmp";
    const auto running = dir.path() / "6978.000057.bin.0000000212345678.tmp";
    for (const auto& f : {killed, historyKilled, running}) std::ofstream(f) << "x";
    std::ofstream(dir.path() / "notes.tmp") << "the user's";
    runs.NewProcess();
    ProfileFiles(runs).RemoveAbandoned(dir.path());
    EXPECT_FALSE(std::filesystem::exists(killed));
    EXPECT_FALSE(std::filesystem::exists(historyKilled));
    EXPECT_TRUE(std::filesystem::exists(running)) << "run 2 is this one: still writing";
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "notes.tmp"));
}

TEST_F(ProfileFilesTest, AFullDiskLeavesNeitherTheFileNorATemporary) {
    FaultyFiles faulty;
    ProfileFiles onFullDisk(faulty);
    // The temporary file, then its rename to the name.
    for (int at = 1; at <= 2; ++at) {
        faulty.Arm(FaultyFiles::Mode::DiskFull, at);
        const auto path = dir.path() / ("f" + std::to_string(at) + ".bin");
        EXPECT_EQ(onFullDisk.CreateVerified(path, bytes).error, std::errc::no_space_on_device) << at;
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    faulty.Disarm();
    EXPECT_EQ(Names(dir.path()).size(), 0u);
}

// --- history ---

TEST_F(ProfileFilesTest, TheHistoryKeepsEachProfileOnceInARowPackedSoThatZcatGivesTheBackupFile) {
    using namespace std::chrono;
    const auto first = MakeProfileImage(512, 288, 312, 56);
    const auto at = sys_days(2026y / 12 / 8) + 9h + 35min + 12s;
    const HistoryCopy a = KeepInHistory(files, dir.path(), *first, {"1A", std::nullopt}, at);
    ASSERT_FALSE(a.error) << a.error.message();
    EXPECT_TRUE(a.written);
    EXPECT_EQ(a.file, dir.path() / "history" / "000056" / "20261208T093512Z.fw1A.bak.gz");
    const auto unpacked = Gunzip(ReadAll(a.file), kBackupFileSize);
    ASSERT_TRUE(unpacked);
    EXPECT_EQ(unpacked->bytes, EncodeBackupFile(*first)) << "its contents are exactly a backup file";
    EXPECT_EQ(unpacked->mtime, duration_cast<seconds>(at.time_since_epoch()).count());
    EXPECT_LT(ReadAll(a.file).size(), 8000u);

    const HistoryCopy again = KeepInHistory(files, dir.path(), *first, {"1B", std::nullopt}, at + 1h);
    EXPECT_FALSE(again.written) << "the same profile twice in a row is stored once";
    EXPECT_EQ(again.file, a.file);
    const auto second = MakeProfileImage(512, 288, 320, 56, 9);
    const HistoryCopy b = KeepInHistory(files, dir.path(), *second, {"1B", 2}, at);
    EXPECT_EQ(b.file.filename(), "20261208T093512Z-2.fw1B.r2.bak.gz") << "the same second gets a name of its own";
    const HistoryCopy any = KeepInHistory(files, dir.path(), *first, {}, at + 2h, HistoryMatch::Any);
    EXPECT_EQ(any.file, a.file) << "a copy for a file about to go may be any of them";
    EXPECT_FALSE(any.written);
    KeepInHistory(files, dir.path(), *MakeProfileImage(512, 288, 300, 4711), {}, at - 24h);

    const auto all = ListHistory(files, dir.path());
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].serial, "000056");
    EXPECT_EQ(all[0].file, a.file);
    EXPECT_EQ(all[0].blocks, 4);
    EXPECT_EQ(all[0].readAt, at);
    EXPECT_EQ(all[0].firmware.version, "1A");
    EXPECT_EQ(all[1].firmware.revision, 2);
    EXPECT_EQ(all[2].serial, "004711");
    EXPECT_EQ(ListHistory(files, dir.path(), 4711).size(), 1u);

    EXPECT_EQ(PruneHistory(files, dir.path(), 1), std::vector<std::filesystem::path>{a.file}) << "never the newest";
    EXPECT_EQ(ListHistory(files, dir.path()).size(), 2u);
}

TEST_F(ProfileFilesTest, AHistoryFolderThatIsALinkIsRefused) {
#ifndef _WIN32
    TempFolder elsewhere;
    std::filesystem::create_directories(dir.path() / "history");
    std::filesystem::create_directory_symlink(elsewhere.path(), dir.path() / "history" / "000056");
    const HistoryCopy copy = KeepInHistory(files, dir.path(), *MakeProfileImage(512, 288, 312, 56), {}, {});
    EXPECT_TRUE(copy.error);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
#endif
}

TEST(Placeholders, FilledInOnePass) {
    EXPECT_EQ(FillPlaceholders("file %1 (%2).", "a%2", "why"), "file a%2 (why).");
    EXPECT_EQ(FillPlaceholders("100%", "x"), "100%");
    EXPECT_EQ(FillPlaceholders("%3 %1", "x"), "%3 x");
}

}  // namespace
}  // namespace verno::profile
