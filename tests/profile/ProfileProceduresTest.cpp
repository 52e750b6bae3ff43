#include <gtest/gtest.h>

#include <fstream>

#include "profile/BackupFile.h"
#include "profile/BackupProfile.h"
#include "profile/GetBackupProfile.h"
#include "profile/History.h"
#include "profile/ProfileRecovering.h"
#include "profile/RestoreProfile.h"
#include "tests/profile/DcFixture.h"
#include "tests/support/FaultyFiles.h"
#include "tests/support/ProfileImages.h"

namespace verno::profile {
namespace {

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ProfileTest : public DcFixture {
protected:
    using DcFixture::DcFixture;
    ProfileState& st() { return session->Profile(); }
    // The profile's four blocks lie at bytes 4608..5119 of the DC.
    std::vector<std::uint8_t> ProfileBytes() const { return MemoryRange(4608, 5120); }
    std::vector<HistoryEntry> History() {
        ProfileFiles f(*files);
        return ListHistory(f, dir.path());
    }
    // The backup on disk, loaded as the one to write back, as the update does after finding it.
    void LoadSaved() {
        FoundBackup found = GetBackupProfile(*session);
        ASSERT_EQ(found.lookup, BackupLookup::Found);
        st().Saved(std::move(found.image), found.record);
    }
    // A new run whose update meets the backup an earlier one left.
    void NextRun() {
        NewSession();
        ui = RecordingSurface{};
        dc.ClearReceived();
    }
};

class Profile1024Test : public ProfileTest {
protected:
    Profile1024Test() : ProfileTest(MakeFirmware(firmware::Layout::Area1Only, 3, 0, 1024)) {}
};

// --- reading the DC ---

TEST_F(ProfileTest, TheSerialNumberNamesTheFileAndNothingIsLoadedWhenThereIsNone) {
    const FoundBackup found = GetBackupProfile(*session);
    EXPECT_EQ(found.lookup, BackupLookup::NotFound);
    EXPECT_EQ(st().DcSerial(), 56);
    EXPECT_EQ(st().BackupFilePath(), BackupPath());
    EXPECT_EQ(st().Where(), ProfileWhere::InDc);
    EXPECT_EQ(Count(0xB4), 2) << "block 0 twice, and the two reads agree";
}

TEST_F(ProfileTest, BackupReadsEveryBlockTwiceWritesTheFileAndKeepsItInTheHistory) {
    ui.InsertTaskList(TaskIcon::Warning, "accepted", "");
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Saved);

    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[1].event, "T842");
    EXPECT_EQ(ui.rows[1].statuses, (std::vector<std::string>{"", "25%", "50%", "75%", "100%", "T777"}));
    EXPECT_EQ(Count(0xB4), 2 + 2 * 4);
    EXPECT_EQ(st().Where(), ProfileWhere::Saved);
    EXPECT_FALSE(st().ProfileSafe());
    const ProfileImage& saved = st().Image();
    ASSERT_EQ(saved.ProfileBlockCount, 4);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(saved.ProfileBlocks[j][0], 32 + 8 * j);
        for (int k = 1; k <= 128; ++k) EXPECT_EQ(saved.ProfileBlocks[j][k], memory[4608 + 128 * j + k - 1]);
    }
    for (int k = 0; k < 16; ++k) EXPECT_EQ(saved.ProfileHeader[k], memory[64 + k]);

    EXPECT_EQ(FileBytes(BackupPath()), EncodeBackupFile(saved));
    const auto history = History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].serial, "000056");
    EXPECT_EQ(history[0].blocks, 4);
    for (const auto& f : std::filesystem::recursive_directory_iterator(dir.path()))
        EXPECT_NE(f.path().extension(), ".tmp") << "no temporary left";
    EXPECT_EQ(ui.resetStages, 0);
}

TEST_F(ProfileTest, EightBlocksShowHalvesRoundedToEven) {
    SetPointers(0x1000, 0x13F0);
    BackupProfile(*session);
    EXPECT_EQ(ui.rows.back().statuses,
              (std::vector<std::string>{"", "12%", "25%", "38%", "50%", "62%", "75%", "88%", "100%", "T777"}));
}

TEST_F(ProfileTest, EmptyProfileSavesNothingAndLogsNothing) {
    SetPointers(0x2000, 0x2000);
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Empty);
    EXPECT_FALSE(st().KeepProfile());
    EXPECT_TRUE(ui.rows.empty());
    EXPECT_EQ(Count(0xB4), 2);  // block 0 only
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
}

TEST_F(ProfileTest, WrappedAndClampedRanges) {
    SetPointers(0x8000, 0x2000);
    BackupProfile(*session);
    EXPECT_EQ(st().Image().ProfileBlockCount, 476);
    EXPECT_EQ(st().Image().ProfileBlocks[0][0], 0);
    EXPECT_EQ(st().Image().ProfileBlocks[475][0], 8 * 475);

    std::filesystem::remove(BackupPath());  // else it would be taken up
    NewSession();
    SetPointers(0x0100, 0x0200);  // wholly below unit 256
    BackupProfile(*session);
    EXPECT_EQ(st().Image().ProfileBlockCount, 1);
    EXPECT_EQ(st().Image().ProfileBlocks[0][0], 0);
}

TEST_F(Profile1024Test, PointersInUnitsAndWrappedArea) {
    SetPointers(0x0120, 0x0138);  // units on a 1024-block DC
    BackupProfile(*session);
    EXPECT_EQ(st().Image().ProfileBlockCount, 4);
    EXPECT_EQ(st().Image().ProfileBlocks[0][0], 0x0120 - 256);

    std::filesystem::remove(BackupPath());
    NewSession();
    SetPointers(0x1000, 0x0200);
    BackupProfile(*session);
    EXPECT_EQ(st().Image().ProfileBlockCount, 988);
}

TEST_F(Profile1024Test, ADamagedHeaderBeyondTheTableIsRefusedBeforeAnyBlockIsRead) {
    SetPointers(0x0100, 0x3000);  // 1505 blocks
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
    EXPECT_EQ(Count(0xB4), 2);
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_FALSE(st().KeepProfile());
    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[0].status(), "T280");
    EXPECT_EQ(ui.rows[1].event, "T797");
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
}

TEST_F(ProfileTest, ABlockNotReadWritesNoFile) {
    dc.Faults().unansweredCommand = 0xB4;
    dc.Faults().unansweredUnit = 0x0130;
    ui.InsertTaskList(TaskIcon::Warning, "accepted", "");
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::ReadFailed);
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_EQ(ui.rows[1].statuses, (std::vector<std::string>{"", "25%", "50%", "75%", "T280"}));
    EXPECT_EQ(ui.rows[2].event, "T797");
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(st().ProfileSafe()) << "nothing was written: the profile is in the DC";
}

TEST_F(ProfileTest, AReadThatCameInWrongIsReadAgainAndOneThatNeverAgreesSavesNothing) {
    // One wrong byte on the line: the block is read a third time, and two reads agree.
    dc.Faults().garbledReads = 1;
    dc.Faults().armAt = dcsim::FaultArming{0xB4, 4};
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Saved);
    EXPECT_EQ(Count(0xB4), 2 + 2 * 4 + 1);
    EXPECT_EQ(FileBytes(BackupPath()), EncodeBackupFile(st().Image()));
    EXPECT_EQ(MemoryRange(4608, 4736), std::vector<std::uint8_t>(st().Image().ProfileBlocks[0].begin() + 1,
                                                                st().Image().ProfileBlocks[0].begin() + 129))
        << "what was saved is what the DC holds";

    std::filesystem::remove_all(dir.path() / "history");
    std::filesystem::remove(BackupPath());
    NewSession();
    ui = RecordingSurface{};
    dc.Faults() = {};
    dc.Faults().garbledReads = 1000;
    dc.Faults().armAt = dcsim::FaultArming{0xB4, Count(0xB4) + 3};
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::ReadFailed);
    EXPECT_EQ(ui.rows.back().event, "T887");
    EXPECT_EQ(ui.rows.back().id, "profile.read-unreliable");
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "history"));
}

// --- a backup left by an earlier run ---

TEST_F(ProfileTest, AnUnchangedDcIsReadFirstThenItsBackupIsTakenUp) {
    BackupProfile(*session);
    const auto saved = FileBytes(BackupPath());
    NextRun();
    ui.InsertTaskList(TaskIcon::Warning, "accepted", "");
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Reused);
    EXPECT_EQ(Count(0xB4), 2 + 2 * 4) << "the DC is read before anything is written to it";
    EXPECT_EQ(ui.Events(), (std::vector<std::string>{"accepted", "T850", "T842"}));
    EXPECT_EQ(ui.rows[0].status(), "T777");
    EXPECT_EQ(FileBytes(BackupPath()), saved);
    EXPECT_EQ(History().size(), 1u) << "the same profile is not kept twice";
    EXPECT_EQ(st().Where(), ProfileWhere::Saved);
}

TEST_F(ProfileTest, AChangedBlockUnderAnUnchangedHeaderIsKeptBeforeTheSavedProfileGoesBack) {
    BackupProfile(*session);
    const auto saved = FileBytes(BackupPath());
    memory[4700] ^= 0xFF;  // code of an interrupted upload, or a change the header does not show
    NextRun();
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Reused);
    EXPECT_TRUE(ui.questions.empty()) << "an unchanged header asks nothing";
    EXPECT_EQ(FileBytes(BackupPath()), saved);
    ASSERT_EQ(History().size(), 2u);
    const auto kept = st().FilesKept();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].why, KeptWhy::PresentProfile);
    EXPECT_EQ(kept[0].file, History()[1].file);
    EXPECT_EQ(ui.rows.back().event, "T857");
}

TEST_F(ProfileTest, AChangedHeaderAsksAndTheSavedProfileGoesBackUnlessThePresentOneIsChosen) {
    BackupProfile(*session);
    const auto saved = FileBytes(BackupPath());
    SetPointers(0x1000, 0x13F0);  // new dives: eight blocks now
    NextRun();
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Reused);  // nobody there: the default
    EXPECT_EQ(ui.questions, std::vector<Question>{Question::WhichProfile});
    EXPECT_EQ(FileBytes(BackupPath()), saved);
    EXPECT_EQ(st().Image().ProfileBlockCount, 4);
    EXPECT_EQ(History().back().blocks, 8) << "the present profile is kept";

    NextRun();
    ui.answers = {MessageAnswer::Present};
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Reused);
    EXPECT_EQ(st().Image().ProfileBlockCount, 8);
    EXPECT_EQ(FileBytes(BackupPath()), EncodeBackupFile(st().Image()));
    const auto kept = st().FilesKept();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].why, KeptWhy::SavedProfile);
    auto f = ProfileFiles(*files).Read(kept[0].file, 512);
    ASSERT_EQ(f.status, ProfileFileStatus::Ok);
    EXPECT_EQ(f.image->ProfileBlockCount, 4) << "the saved one is in the history";
}

TEST_F(ProfileTest, ClosingAtTheQuestionKeepsTheSavedProfileAndSendsNothing) {
    BackupProfile(*session);
    const auto saved = FileBytes(BackupPath());
    SetPointers(0x1000, 0x13F0);
    NextRun();
    ui.answers = {MessageAnswer::Interrupted};
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Closed);
    EXPECT_EQ(FileBytes(BackupPath()), saved);
    EXPECT_TRUE(st().ProfileSafe());
    const auto kept = st().FilesKept();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].why, KeptWhy::PresentProfile);
    EXPECT_EQ(kept[1], (KeptFile{BackupPath(), KeptWhy::WaitsForUpdate}));
    for (const auto& frame : dc.Received()) EXPECT_EQ(frame.bytes[0], 0xB4) << "only reads";
}

TEST_F(ProfileTest, WhatTheDcHoldsMustBeOnDiskBeforeItsBackupIsTakenUp) {
    BackupProfile(*session);
    memory[4700] ^= 0xFF;
    std::filesystem::remove_all(dir.path() / "history");
    NextRun();
    FaultyFiles full;
    full.Arm(FaultyFiles::Mode::NoWriting, 1);
    files = &full;
    NewSession();
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
    EXPECT_EQ(ui.rows.back().event, "T888");
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_EQ(st().FilesKept(), (std::vector<KeptFile>{{BackupPath(), KeptWhy::WaitsForUpdate}}));
}

TEST_F(ProfileTest, AnotherDcsSerialInsideIsSetAsideNeverUnderThatDcsOwnName) {
    BackupProfile(*session);
    auto bytes = FileBytes(BackupPath());
    bytes[17 + 5] = 7;  // one flipped digit
    std::filesystem::remove(BackupPath());
    std::ofstream(BackupPath(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    NextRun();
    EXPECT_EQ(GetBackupProfile(*session).lookup, BackupLookup::NotFound);
    auto aside = BackupPath();
    aside += ".other-serial";
    EXPECT_EQ(FileBytes(aside), bytes);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "6978.000057.bin")) << "that DC's next update would write it back";
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].id, "profile.set-aside");
    EXPECT_EQ(st().FilesKept(), (std::vector<KeptFile>{{aside, KeptWhy::OtherSerial}}));
}

TEST_F(ProfileTest, ABackupMadeForTheOtherMemorySizeIsSetAsideAndNamed) {
    BackupProfile(*session);
    const auto bytes = FileBytes(BackupPath());
    fw.DcMemoryBlocks = 1024;  // a firmware file of the other memory size
    NextRun();
    EXPECT_EQ(GetBackupProfile(*session).lookup, BackupLookup::NotFound);
    auto aside = BackupPath();
    aside += ".other-size";
    EXPECT_EQ(FileBytes(aside), bytes);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].event, "T851");
}

TEST_F(ProfileTest, ADamagedBackupFileIsKeptAndStopsTheBackup) {
    BackupProfile(*session);
    const std::vector<std::uint8_t> good = FileBytes(BackupPath());
    for (const bool shortFile : {true, false}) {
        SCOPED_TRACE(shortFile ? "short file" : "a flipped byte");
        std::vector<std::uint8_t> bytes = good;
        if (shortFile) bytes.resize(1000);
        else bytes[BackupValueOffset(2, 7)] ^= 0x01;
        std::filesystem::remove(BackupPath());
        std::ofstream(BackupPath(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        NextRun();
        EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
        EXPECT_EQ(Count(0xB4), 2);
        EXPECT_EQ(FileBytes(BackupPath()), bytes);
        EXPECT_TRUE(session->AttemptFailed());
        EXPECT_FALSE(st().KeepProfile());
        ASSERT_EQ(ui.rows.size(), 2u);
        EXPECT_EQ(ui.rows[0].status(), "T280");
        EXPECT_EQ(ui.rows[1].event, "T824");
        EXPECT_EQ(st().FilesKept(), (std::vector<KeptFile>{{BackupPath(), KeptWhy::Unusable}}));
    }
}

TEST_F(ProfileTest, ABackupThatCannotBeWrittenNamesTheFileAndTheReason) {
    ui.texts[823] = "file %1 not written: %2";
    FaultyFiles full;
    full.Arm(FaultyFiles::Mode::DiskFull, 1);
    files = &full;
    NewSession();
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_FALSE(st().KeepProfile());
    EXPECT_EQ(ui.rows.back().event, "file " + BackupPath().string() + " not written: " +
                                        std::make_error_code(std::errc::no_space_on_device).message());
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
}

// --- restore ---

TEST_F(ProfileTest, RestorePutsTheProfileBackAndRemovesTheFileItRead) {
    BackupProfile(*session);
    const auto before = ProfileBytes();
    const auto header = MemoryRange(64, 80);
    for (std::size_t i = 4608; i < 5120; ++i) memory[i] = 0xEE;
    ui.rows.clear();
    dc.ClearReceived();

    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(ProfileBytes(), before);
    EXPECT_EQ(MemoryRange(64, 80), header);
    EXPECT_EQ(st().Where(), ProfileWhere::WrittenBack);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].event, "T796");
    EXPECT_EQ(ui.rows[0].statuses, (std::vector<std::string>{"", "25%", "50%", "75%", "100%", "T919", "T919", "T919",
                                                             "T919", "T875", "T876", "T777"}));
    ASSERT_TRUE(dc.ClockRecord().has_value());
    EXPECT_EQ((*dc.ClockRecord())[0], 0x26);  // 12/07/26
    // Block 0 twice (the same DC: its profile is on disk already), the four blocks read back, the
    // header to unit 4, its read-back, then 2 s and 1 s pauses around it.
    EXPECT_EQ(Count(0xB4), 7);
    EXPECT_EQ(Last(0xB2)->bytes, (std::vector<std::uint8_t>{0xB2, 0x00, 0x04}));
    EXPECT_GE(Last(0x97)->at - Last(0xB2)->at, link::Seconds(3.0));
    EXPECT_TRUE(st().FilesKept().empty());
}

TEST_F(ProfileTest, ABlockThatReadsBackOtherThanWrittenIsWrittenOnceMore) {
    BackupProfile(*session);
    const auto before = ProfileBytes();
    dc.ClearReceived();
    dc.Faults().garbledWrites = 1;
    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(ProfileBytes(), before);
    EXPECT_EQ(Count(0xB5), 5);

    // A DC that never keeps what it acknowledges: the write back fails and the file stays.
    NewSession();
    BackupProfile(*session);
    dc.Faults().garbledWrites = 1000;
    ui.rows.clear();
    EXPECT_FALSE(RestoreProfile(*session));
    EXPECT_EQ(st().Where(), ProfileWhere::Saved);
    EXPECT_EQ(ui.Events().back(), "T790");
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
}

TEST_F(ProfileTest, OnlyTheFileThatWasReadIsRemovedAfterTheWriteBack) {
    BackupProfile(*session);
    // Another run, for a second DC of this serial number, left its own backup under the name.
    std::filesystem::remove(BackupPath());
    const std::vector<std::uint8_t> theirs = EncodeBackupFile(*MakeProfileImage(512, 288, 296, 56, 3));
    std::ofstream(BackupPath(), std::ios::binary).write(reinterpret_cast<const char*>(theirs.data()), static_cast<std::streamsize>(theirs.size()));
    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(FileBytes(BackupPath()), theirs);
}

TEST_F(ProfileTest, ABackupWithoutACopyInTheHistoryStaysAfterTheWriteBack) {
    FaultyFiles disk;
    files = &disk;
    NewSession();
    BackupProfile(*session);
    std::filesystem::remove_all(dir.path() / "history");
    disk.Arm(FaultyFiles::Mode::NoWriting, 1);
    ui.rows.clear();
    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_TRUE(std::filesystem::exists(BackupPath())) << "it may be the only copy but the DC's";
    EXPECT_EQ(ui.rows.back().event, "T914");
    EXPECT_EQ(st().FilesKept(), (std::vector<KeptFile>{{BackupPath(), KeptWhy::WaitsForUpdate}}));
}

TEST_F(ProfileTest, AClockRecordTheDcRefusesIsReportedAsAWarning) {
    BackupProfile(*session);
    dc.Faults().refusePayloadOf = 0x97;
    dc.Faults().refusePayloadCount = 1;
    ui.rows.clear();
    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(ui.Events(), (std::vector<std::string>{"T796", "T827"}));
    EXPECT_EQ(ui.rows[1].icon, TaskIcon::Warning);
    EXPECT_FALSE(session->AttemptFailed()) << "as with an acknowledgement";
}

TEST_F(ProfileTest, RestoreOfAnEmptyTableStillWritesAndChecksTheHeader) {
    auto image = std::make_unique<ProfileImage>();
    for (int k = 0; k < 16; ++k) image->ProfileHeader[k] = memory[64 + k];
    image->SerialDigits = SerialDigitsOf(56);
    st().Saved(std::move(image), {});
    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(Count(0xB5), 0);
    EXPECT_EQ(Count(0xB2), 1);
    EXPECT_TRUE(dc.ClockRecord().has_value());
    EXPECT_EQ(ui.rows.back().statuses, (std::vector<std::string>{"", "T875", "T876", "T777"}));
}

class FallbackTest : public ProfileTest, public ::testing::WithParamInterface<std::uint16_t> {};

TEST_P(FallbackTest, ARefused128ByteWriteAtTheSpecialAddressGoesOutIn16BytePieces) {
    const std::uint16_t special = GetParam();
    SetPointers(0xCF80, 0xD100);  // read units 3320..3344: write addresses 3064, 3072, 3080, 3088
    BackupProfile(*session);
    ASSERT_EQ(st().Image().ProfileBlockCount, 4);
    const auto before = MemoryRange(16 * 3320, 16 * 3352);
    for (std::size_t i = 16 * 3320; i < 16 * 3352; ++i) memory[i] = 0;
    dc.Faults().refuseWriteAt = special;
    ui.rows.clear();

    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(MemoryRange(16 * 3320, 16 * 3352), before);
    const int firstPieceBlock = special == 3072 ? 2 : 3;
    std::vector<std::uint16_t> pieceAddresses;
    for (const auto& f : dc.Received())
        if (!f.payload && f.bytes[0] == 0xB2) pieceAddresses.push_back(static_cast<std::uint16_t>(f.bytes[1] * 256 + f.bytes[2]));
    std::vector<std::uint16_t> expected;
    for (std::uint16_t w = special; w < 3096; ++w) expected.push_back(w);
    expected.push_back(4);  // then the header
    EXPECT_EQ(pieceAddresses, expected);
    // Block j before the special one went out whole; the special one was tried four times.
    EXPECT_EQ(Count(0xB5), (firstPieceBlock - 1) + 4);
    EXPECT_EQ(ui.rows.back().status(), "T777");
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
}

INSTANTIATE_TEST_SUITE_P(SpecialAddresses, FallbackTest, ::testing::Values(3072, 3080));

TEST_F(ProfileTest, ARefusedWriteElsewhereEndsTheRestoreAndKeepsTheFile) {
    BackupProfile(*session);
    dc.Faults().refuseWriteAt = 40;
    ui.rows.clear();
    EXPECT_FALSE(RestoreProfile(*session));
    EXPECT_FALSE(st().ProfileSafe());
    EXPECT_EQ(Count(0xB2), 0) << "no header after a failed block";
    EXPECT_EQ(ui.rows[0].statuses, (std::vector<std::string>{"", "25%", "50%", "T280"}));
    EXPECT_EQ(ui.rows[1].event, "T790");
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(dc.ClockRecord().has_value());
}

TEST_F(ProfileTest, AHeaderReadBackWrongOrNotAtAllKeepsTheFile) {
    BackupProfile(*session);
    dc.Faults().corruptHeaderWrite = true;
    ui.rows.clear();
    EXPECT_FALSE(RestoreProfile(*session));
    EXPECT_FALSE(st().ProfileSafe());
    EXPECT_EQ(ui.rows[0].status(), "T280");
    EXPECT_EQ(ui.rows[1].event, "T816");
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(dc.ClockRecord().has_value());

    dc.Faults() = {};
    dc.Faults().refuseWriteAt = 4;
    dc.Faults().unansweredCommand = 0xB4;
    dc.Faults().armAt = dcsim::FaultArming{0xB2, Count(0xB2) + 1};
    ui.rows.clear();
    EXPECT_FALSE(RestoreProfile(*session));
    EXPECT_EQ(ui.rows.back().event, "T816");
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
}

// --- recovery ---

class RecoveryTest : public ProfileTest {
protected:
    RecoveryTest() {
        BackupProfile(*session);
        for (std::size_t i = 4608; i < 5120; ++i) memory[i] = 0xEE;  // the update overwrote it
        ui.rows.clear();
        dc.ClearReceived();
        priorities.clear();
    }
    // Close in a new session that saved nothing yet: the backup waits to be written back.
    void AnotherClose() {
        NewSession();
        ui.messages.clear();
        ui.questions.clear();
        st().MetDc(Block0Bytes{}, 56, BackupPath());
        auto read = ProfileFiles(*files).Read(BackupPath(), 512);
        ASSERT_EQ(read.status, ProfileFileStatus::Ok);
        st().Saved(std::move(read.image), read.record);
    }
};

TEST(RecoveryInstructionsText, NumberedOneToSixWithCrLf) {
    RecordingSurface ui;
    EXPECT_EQ(RecoveryInstructions(ui),
              "1. T640\r\n2. T654\r\n3. T804\r\nT805\r\nT806\r\nT807\r\n\r\n4. T808\r\n5. T809\r\n6. T819\r\n");
}

TEST_F(RecoveryTest, KeepOrADiscardNotConfirmedLeaveTheFileAndSendNothing) {
    for (const auto& answers : {std::deque{MessageAnswer::Keep}, std::deque{MessageAnswer::Interrupted},
                                std::deque{MessageAnswer::Discard, MessageAnswer::Keep},
                                std::deque{MessageAnswer::Discard, MessageAnswer::Interrupted}}) {
        AnotherClose();
        ui.answers = answers;
        ProfileRecovering(*session);
        EXPECT_EQ(ui.messages[0].title, "T817");
        EXPECT_EQ(ui.messages[0].text, "T818");
        EXPECT_EQ(ui.questions.front(), Question::RecoverProfile);
        EXPECT_TRUE(std::filesystem::exists(BackupPath()));
        EXPECT_EQ(st().Where(), ProfileWhere::KeptOnDisk);
        EXPECT_EQ(st().FilesKept(), (std::vector<KeptFile>{{BackupPath(), KeptWhy::WaitsForUpdate}}));
    }
    EXPECT_TRUE(dc.Received().empty());
}

TEST_F(RecoveryTest, AConfirmedDiscardRemovesTheFileOnlyWithACopyInTheHistory) {
    ui.answers = {MessageAnswer::Discard, MessageAnswer::Discard};
    ProfileRecovering(*session);
    EXPECT_EQ(ui.questions, (std::vector<Question>{Question::RecoverProfile, Question::ConfirmDiscard}));
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(st().Where(), ProfileWhere::Discarded);
    EXPECT_EQ(History().size(), 1u);
    EXPECT_TRUE(dc.Received().empty());

    // Now without a history that could take the copy: the file stays, and the user is told.
    ProfileFiles(*files).CreateVerified(BackupPath(), EncodeBackupFile(st().Image()));
    std::filesystem::remove_all(dir.path() / "history");
    FaultyFiles full;
    full.Arm(FaultyFiles::Mode::NoWriting, 1);
    files = &full;
    AnotherClose();
    ui.answers = {MessageAnswer::Discard, MessageAnswer::Discard};
    ProfileRecovering(*session);
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(st().Where(), ProfileWhere::KeptOnDisk);
    EXPECT_EQ(ui.rows.back().event, "T896");
}

TEST_F(RecoveryTest, CancelKeepsTheBackupThenSetsTheClockAndEndsTheConnection) {
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Cancel};
    ProfileRecovering(*session);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, RecoveryInstructions(ui));
    EXPECT_EQ(ui.messages[1].icon, MessageIcon::Information);
    EXPECT_EQ(ui.messages[1].buttons, MessageButtons::OkCancel);
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{0x97, 0xA8}));
}

TEST_F(RecoveryTest, ASilentDcShowsTheInstructionsAgainThenTheProfileIsRestored) {
    const std::vector<std::uint8_t> saved(st().Image().ProfileBlocks[0].begin() + 1, st().Image().ProfileBlocks[0].begin() + 129);
    dc.Faults().silent = true;
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok, MessageAnswer::Ok};
    ui.onMessage = [&](const RecordedMessage&) {
        if (ui.messages.size() == 3) dc.Faults().silent = false;
    };
    const RecoveryOutcome outcome = ProfileRecovering(*session);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[1].text, ui.messages[2].text);
    EXPECT_EQ(priorities, (std::vector<std::uint32_t>{0x80, 0x20, 0x80}));
    EXPECT_TRUE(outcome.ran);
    EXPECT_EQ(outcome.dcVersion, "1A");
    EXPECT_EQ(st().Where(), ProfileWhere::WrittenBack);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(MemoryRange(4608, 4736), saved);
    EXPECT_EQ(Commands().back(), 0xA8);
}

TEST_F(RecoveryTest, ABlockZeroThatDoesNotComeInIsTriedAgainNotTakenForAnotherDc) {
    // The DC answers its identity, then falls silent for the read of block 0.
    dc.Faults().unansweredCommand = 0xB4;
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok, MessageAnswer::Ok};
    ui.onMessage = [&](const RecordedMessage&) {
        if (ui.messages.size() == 3) dc.Faults().unansweredCommand.reset();
    };
    ProfileRecovering(*session);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[2].text, ui.messages[1].text);
    EXPECT_EQ(priorities, (std::vector<std::uint32_t>{0x80, 0x20, 0x80}));
    EXPECT_EQ(st().Where(), ProfileWhere::WrittenBack);
    EXPECT_EQ(st().BackupFilePath(), BackupPath());
    EXPECT_GT(Count(0xB5), 0);
}

TEST_F(RecoveryTest, AnotherDcEndsTheLoopAndLeavesTheFirstDcsFile) {
    SetSerial(0x00, 0x01, 0x23);
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
    ProfileRecovering(*session);
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_EQ(st().BackupFilePath(), dir.path() / "6978.000123.bin");
    EXPECT_EQ(st().FilesKept(), (std::vector<KeptFile>{{BackupPath(), KeptWhy::WaitsForUpdate}}));
    EXPECT_EQ(Count(0xB5), 0);
}

TEST_F(RecoveryTest, AFailedRestoreIsTriedAgain) {
    dc.Faults().corruptHeaderWrite = true;
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok, MessageAnswer::Ok};
    ui.onMessage = [&](const RecordedMessage&) {
        if (ui.messages.size() == 3) dc.Faults().corruptHeaderWrite = false;
    };
    ProfileRecovering(*session);
    EXPECT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.Events(), (std::vector<std::string>{"T796", "T816", "T842", "T796"}))
        << "the header read back changed block 0: what the DC held then is kept first";
    EXPECT_EQ(ui.rows.back().status(), "T777");
    EXPECT_EQ(st().Where(), ProfileWhere::WrittenBack);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(Count(0xB2), 2);
}

TEST_F(RecoveryTest, AFileChangedOnDiskMeanwhileIsNeverRemovedByTheRecovery) {
    auto bytes = FileBytes(BackupPath());
    bytes.pop_back();
    std::filesystem::remove(BackupPath());
    std::ofstream(BackupPath(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
    ProfileRecovering(*session);
    EXPECT_EQ(st().Where(), ProfileWhere::WrittenBack) << "from the profile this run read";
    EXPECT_EQ(FileBytes(BackupPath()), bytes);
    EXPECT_EQ(st().FilesKept(), (std::vector<KeptFile>{{BackupPath(), KeptWhy::WaitsForUpdate}}));
}

using CustodyDeathTest = ProfileTest;

TEST_F(CustodyDeathTest, ATransitionFromTheWrongStateEndsTheProgramBeforeAnythingIsWritten) {
    EXPECT_DEATH(st().WrittenBack(true), "WrittenBack from the state 'in the DC'");
    EXPECT_DEATH(st().Discarded(), "Discarded");
}

}  // namespace
}  // namespace verno::profile
