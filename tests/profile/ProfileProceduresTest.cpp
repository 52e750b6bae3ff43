#include <gtest/gtest.h>

#include <fstream>

#include "profile/BackupFile.h"
#include "profile/BackupProfile.h"
#include "profile/GetBackupProfile.h"
#include "profile/History.h"
#include "profile/ProfileRecovering.h"
#include "profile/RestoreProfile.h"
#include "tests/profile/DcFixture.h"

namespace verno::profile {
namespace {

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ProfileTest : public DcFixture {
protected:
    using DcFixture::DcFixture;
    ProfileState& st() { return session->profile; }
    // The profile's four blocks lie at bytes 4608..5119 of the DC.
    std::vector<std::uint8_t> ProfileBytes() const { return MemoryRange(4608, 5120); }
};

class Profile1024Test : public ProfileTest {
protected:
    Profile1024Test() : ProfileTest(MakeFirmware(firmware::Layout::Area1Only, 3, 0, 1024)) {}
};

// --- reader ---

TEST_F(ProfileTest, SerialFromPackedBcdNamesTheFileAndLeavesTheTableWhenThereIsNoFile) {
    st().ProfileBlocks[0][1] = 99;
    EXPECT_EQ(GetBackupProfile(*session), BackupLookup::NotFound);
    EXPECT_EQ(st().DcSerial, 56);
    EXPECT_EQ(st().BackupFilePath, BackupPath());
    const std::array<std::uint8_t, 17> digits{0, 0, 0, 0, 5, 6};
    EXPECT_EQ(st().SerialDigits, digits);
    EXPECT_EQ(st().ProfileBlocks[0][1], 99);
}

// --- backup ---

TEST_F(ProfileTest, BackupReadsEveryBlockAndWritesTheFile) {
    ui.InsertTaskList(TaskIcon::Warning, "accepted", "");
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Saved);

    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[1].event, "T842");
    EXPECT_EQ(ui.rows[1].statuses, (std::vector<std::string>{"", "25%", "50%", "75%", "100%", "T777"}));
    EXPECT_TRUE(st().KeepProfile());
    EXPECT_FALSE(session->attemptFailed);
    ASSERT_EQ(st().ProfileBlockCount, 4);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(st().ProfileBlocks[j][0], 32 + 8 * j);
        unsigned sum = 0;
        for (int k = 1; k <= 128; ++k) {
            EXPECT_EQ(st().ProfileBlocks[j][k], memory[4608 + 128 * j + k - 1]);
            sum += memory[4608 + 128 * j + k - 1];
        }
        EXPECT_EQ(st().ProfileBlocks[j][129], static_cast<int>(sum % 256));
    }
    unsigned headerSum = 0;
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(st().ProfileHeader[k], memory[64 + k]);
        headerSum += memory[64 + k];
    }
    EXPECT_EQ(st().ProfileHeader[16], headerSum % 256);

    EXPECT_EQ(FileBytes(BackupPath()), EncodeBackupFile(st()));
    // The history keeps the same profile for good.
    const auto history = ListHistory(dir.path());
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].serial, "000056");
    EXPECT_EQ(history[0].blocks, 4);
    auto kept = std::make_unique<BackupContents>();
    ASSERT_EQ(ReadBackupFile(history[0].file, *kept), BackupFileStatus::Ok);
    EXPECT_EQ(kept->ProfileBlocks, st().ProfileBlocks);
    EXPECT_EQ(kept->ProfileHeader, st().ProfileHeader);
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
    EXPECT_EQ(Count(0xB4), 1);  // block 0 only
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
}

TEST_F(ProfileTest, WrappedAndClampedRanges) {
    SetPointers(0x8000, 0x2000);
    BackupProfile(*session);
    EXPECT_EQ(st().ProfileBlockCount, 476);
    EXPECT_EQ(st().ProfileBlocks[0][0], 0);
    EXPECT_EQ(st().ProfileBlocks[475][0], 8 * 475);
    EXPECT_EQ(Count(0xB4), 477);

    std::filesystem::remove(BackupPath());  // else it would be reused
    NewSession();
    SetPointers(0x0100, 0x0200);  // wholly below unit 256
    BackupProfile(*session);
    EXPECT_EQ(st().ProfileBlockCount, 1);
    EXPECT_EQ(st().ProfileBlocks[0][0], 0);
}

TEST_F(Profile1024Test, PointersInUnitsAndWrappedArea) {
    SetPointers(0x0120, 0x0138);  // units on a 1024-block DC
    BackupProfile(*session);
    EXPECT_EQ(st().ProfileBlockCount, 4);
    EXPECT_EQ(st().ProfileBlocks[0][0], 0x0120 - 256);

    std::filesystem::remove(BackupPath());
    NewSession();
    SetPointers(0x1000, 0x0200);
    BackupProfile(*session);
    EXPECT_EQ(st().ProfileBlockCount, 988);
}

TEST_F(Profile1024Test, ADamagedHeaderBeyondTheTableIsRefusedBeforeAnyBlockIsRead) {
    SetPointers(0x0100, 0x3000);  // 1505 blocks
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
    EXPECT_EQ(Count(0xB4), 1);
    EXPECT_TRUE(session->attemptFailed);
    EXPECT_FALSE(st().KeepProfile());
    EXPECT_EQ(st().ProfileBlockCount, 0);
    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[0].status(), "T280");
    EXPECT_EQ(ui.rows[1].icon, TaskIcon::Error);
    EXPECT_EQ(ui.rows[1].event, "T797");
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
}

TEST_F(ProfileTest, ABlockNotReadWritesNoFile) {
    dc.Faults().unansweredCommand = 0xB4;
    dc.Faults().unansweredUnit = 0x0130;
    ui.InsertTaskList(TaskIcon::Warning, "accepted", "");
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::ReadFailed);
    EXPECT_TRUE(session->attemptFailed);
    EXPECT_TRUE(st().KeepProfile());
    EXPECT_EQ(ui.rows[1].statuses, (std::vector<std::string>{"", "25%", "50%", "75%", "T280"}));
    EXPECT_EQ(ui.rows[2].event, "T797");
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
}

TEST_F(ProfileTest, AnUnchangedDcReusesItsBackupAndSaysWhatWasFound) {
    BackupProfile(*session);
    const auto saved = FileBytes(BackupPath());
    NewSession();
    ui.rows.clear();
    const int readsBefore = Count(0xB4);

    ui.InsertTaskList(TaskIcon::Warning, "accepted", "");
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Reused);
    EXPECT_EQ(Count(0xB4), readsBefore + 1) << "block 0 only";
    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[0].status(), "T777");
    EXPECT_EQ(ui.rows[1].event, "T850") << "the run says what it found";
    EXPECT_EQ(st().ProfileBlockCount, 4);
    EXPECT_EQ(FileBytes(BackupPath()), saved);
    EXPECT_FALSE(st().ProfileSafe());
}

TEST_F(ProfileTest, ChoosingTheSavedProfileKeepsThePresentOneUnderADatedName) {
    BackupProfile(*session);
    const auto saved = FileBytes(BackupPath());
    SetPointers(0x1000, 0x13F0);
    NewSession();
    ui.answers = {MessageAnswer::Saved};
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Reused);
    ASSERT_EQ(ui.questions, std::vector<Question>{Question::WhichProfile});
    EXPECT_EQ(st().ProfileBlockCount, 4);
    EXPECT_EQ(FileBytes(BackupPath()), saved);
    ASSERT_EQ(st().keptFiles.size(), 1u);
    auto present = std::make_unique<BackupContents>();
    ASSERT_EQ(ReadBackupFile(st().keptFiles[0], *present), BackupFileStatus::Ok);
    EXPECT_EQ(BlockCount(*present, 512), 8);
}

TEST_F(ProfileTest, AnotherDcsFileUnderThisDcsNameIsMovedToItsOwnNameNotOverwritten) {
    BackupProfile(*session);
    auto bytes = FileBytes(BackupPath());
    bytes[17 + 5] = 7;
    ASSERT_TRUE(WriteBackupFile(BackupPath(), bytes).ok);
    NewSession();
    ui.rows.clear();
    EXPECT_EQ(GetBackupProfile(*session), BackupLookup::NotFound);
    EXPECT_EQ(st().SerialDigits[5], 6) << "the serial digits are the DC's";
    const auto theirs = dir.path() / "6978.000057.bin";
    EXPECT_EQ(FileBytes(theirs), bytes);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].icon, TaskIcon::Warning);
    EXPECT_EQ(st().FilesOnDisk(), std::vector<std::filesystem::path>{theirs});
}

TEST_F(ProfileTest, ABackupMadeForTheOtherMemorySizeIsSetAsideAndNamed) {
    BackupProfile(*session);
    const auto bytes = FileBytes(BackupPath());
    fw.DcMemoryBlocks = 1024;  // a firmware file of the other memory size
    NewSession();
    ui.rows.clear();
    EXPECT_EQ(GetBackupProfile(*session), BackupLookup::NotFound);
    auto aside = BackupPath();
    aside += ".other-size";
    EXPECT_EQ(FileBytes(aside), bytes);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].event, "T851");
    EXPECT_EQ(st().FilesOnDisk(), std::vector<std::filesystem::path>{aside});
}

TEST_F(ProfileTest, ABackupWhoseRowsDoNotFollowItsHeaderIsDamaged) {
    BackupProfile(*session);
    auto bytes = FileBytes(BackupPath());
    bytes[BackupValueOffset(2, 0)] += 8;  // row 2 written one block further on
    ASSERT_TRUE(WriteBackupFile(BackupPath(), bytes).ok);
    NewSession();
    EXPECT_EQ(GetBackupProfile(*session), BackupLookup::Damaged);
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
    EXPECT_EQ(FileBytes(BackupPath()), bytes);
}

TEST_F(ProfileTest, ABlockZeroThatDoesNotComeInLeavesThePathOfTheLastGoodRead) {
    EXPECT_EQ(GetBackupProfile(*session), BackupLookup::NotFound);
    ASSERT_EQ(comm.ReadMemory(288, 288).status, link::LinkStatus::Ok);  // the last block read is no block 0
    dc.Faults().unansweredCommand = 0xB4;
    EXPECT_EQ(GetBackupProfile(*session), BackupLookup::Unanswered);
    EXPECT_EQ(st().BackupFilePath, BackupPath());
    EXPECT_EQ(st().DcSerial, 56);
}

TEST_F(ProfileTest, ADamagedBackupFileIsKeptAndStopsTheBackup) {
    for (const bool shortFile : {true, false}) {
        SCOPED_TRACE(shortFile ? "short file" : "value out of range");
        NewSession();
        ui = RecordingSurface{};
        session->attemptFailed = false;
        std::vector<std::uint8_t> bytes = EncodeBackupFile(st());
        if (shortFile) bytes.resize(1000);
        else bytes[BackupValueOffset(2, 7) + 1] = 0x01;
        {
            std::ofstream out(BackupPath(), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        const int readsBefore = Count(0xB4);
        EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
        EXPECT_EQ(Count(0xB4), readsBefore + 1);
        EXPECT_EQ(FileBytes(BackupPath()), bytes);
        EXPECT_TRUE(session->attemptFailed);
        EXPECT_FALSE(st().KeepProfile());
        ASSERT_EQ(ui.rows.size(), 2u);
        EXPECT_EQ(ui.rows[0].status(), "T280");
        EXPECT_EQ(ui.rows[1].icon, TaskIcon::Error);
        EXPECT_EQ(ui.rows[1].event, "T824");
        EXPECT_EQ(ui.resetStages, 1);
    }
}

TEST_F(ProfileTest, ABackupThatCannotBeWrittenNamesTheFileAndTheReason) {
    ui.texts[823] = "file %1 not written: %2";
    std::ofstream(dir.path() / "gone") << "a file where the folder should be";
    session->backupFolder = dir.path() / "gone";
    EXPECT_EQ(BackupProfile(*session), BackupOutcome::Refused);
    EXPECT_TRUE(session->attemptFailed);
    EXPECT_FALSE(st().KeepProfile());
    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[0].status(), "T280");
    EXPECT_EQ(ui.rows[1].icon, TaskIcon::Error);
    const std::string expectedStart = "file " + (dir.path() / "gone" / "6978.000056.bin").string() + " not written: ";
    EXPECT_EQ(ui.rows[1].event.rfind(expectedStart, 0), 0u) << ui.rows[1].event;
    EXPECT_GT(ui.rows[1].event.size(), expectedStart.size());
    EXPECT_EQ(ui.resetStages, 1);
}

// --- restore ---

TEST_F(ProfileTest, RestorePutsTheProfileBackAndDeletesTheFile) {
    BackupProfile(*session);
    const auto before = ProfileBytes();
    const auto header = MemoryRange(64, 80);
    for (std::size_t i = 4608; i < 5120; ++i) memory[i] = 0xEE;
    for (std::size_t i = 64; i < 80; ++i) memory[i] = 0;
    ui.rows.clear();

    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(ProfileBytes(), before);
    EXPECT_EQ(MemoryRange(64, 80), header);
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].event, "T796");
    EXPECT_EQ(ui.rows[0].statuses, (std::vector<std::string>{"", "25%", "50%", "75%", "100%", "T875", "T876", "T777"}));
    ASSERT_TRUE(dc.ClockRecord().has_value());
    EXPECT_EQ((*dc.ClockRecord())[0], 0x26);  // 12/07/26
    EXPECT_EQ(Count(0xB2), 1);
    // The header goes to unit 4, then 2 s and 1 s pauses around the read-back.
    EXPECT_EQ(Last(0xB2)->bytes, (std::vector<std::uint8_t>{0xB2, 0x00, 0x04}));
    EXPECT_GE(Last(0x97)->at - Last(0xB2)->at, link::Seconds(3.0));
}

TEST_F(ProfileTest, AClockRecordTheDcRefusesIsReportedAsAWarning) {
    BackupProfile(*session);
    dc.Faults().refusePayloadOf = 0x97;
    dc.Faults().refusePayloadCount = 1;
    ui.rows.clear();
    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(ui.Events(), (std::vector<std::string>{"T796", "T827"}));
    EXPECT_EQ(ui.rows[1].icon, TaskIcon::Warning);
    EXPECT_FALSE(session->attemptFailed) << "as with an acknowledgement";
}

TEST_F(ProfileTest, RestoreOfAnEmptyTableStillWritesAndChecksTheHeader) {
    st().ProfileBlockCount = 0;
    for (int k = 0; k < 16; ++k) st().ProfileHeader[k] = memory[64 + k];
    EXPECT_TRUE(RestoreProfile(*session));
    EXPECT_EQ(Count(0xB5), 0);
    EXPECT_EQ(Count(0xB2), 1);
    EXPECT_EQ(Count(0xB4), 1);
    EXPECT_TRUE(dc.ClockRecord().has_value());
    EXPECT_EQ(ui.rows[0].statuses, (std::vector<std::string>{"", "T875", "T876", "T777"}));
}

class FallbackTest : public ProfileTest, public ::testing::WithParamInterface<std::uint16_t> {};

TEST_P(FallbackTest, ARefused128ByteWriteAtTheSpecialAddressGoesOutIn16BytePieces) {
    const std::uint16_t special = GetParam();
    SetPointers(0xCF80, 0xD100);  // read units 3320..3344: write addresses 3064, 3072, 3080, 3088
    BackupProfile(*session);
    ASSERT_EQ(st().ProfileBlockCount, 4);
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
    EXPECT_EQ(ui.rows[0].status(), "T777");
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
    EXPECT_EQ(ui.rows[1].icon, TaskIcon::Error);
    EXPECT_EQ(ui.rows[1].event, "T790");
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(dc.ClockRecord().has_value());
}

TEST_F(ProfileTest, AHeaderReadBackWrongKeepsTheFile) {
    BackupProfile(*session);
    dc.Faults().corruptHeaderWrite = true;
    ui.rows.clear();
    EXPECT_FALSE(RestoreProfile(*session));
    EXPECT_FALSE(st().ProfileSafe());
    EXPECT_EQ(ui.rows[0].status(), "T280");
    EXPECT_EQ(ui.rows[1].event, "T816");
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(dc.ClockRecord().has_value());
}

TEST_F(ProfileTest, AHeaderThatIsNotReadBackKeepsTheFile) {
    BackupProfile(*session);
    // Block 0 as read at the start of a run: the buffer holds the very header being restored.
    ASSERT_EQ(comm.ReadMemory(0, 0).status, link::LinkStatus::Ok);
    dc.Faults().refuseWriteAt = 4;
    dc.Faults().unansweredCommand = 0xB4;
    ui.rows.clear();
    EXPECT_FALSE(RestoreProfile(*session));
    EXPECT_FALSE(st().ProfileSafe());
    EXPECT_EQ(ui.rows[1].event, "T816");
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
}

// --- recovery ---

class RecoveryTest : public ProfileTest {
protected:
    RecoveryTest() {
        BackupProfile(*session);
        for (std::size_t i = 4608; i < 5120; ++i) memory[i] = 0xEE;  // the update overwrote it
        st().where = ProfileWhere::Saved;
        ui.rows.clear();
        dc.ClearReceived();
        priorities.clear();
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
        st().where = ProfileWhere::Saved;
        ui.messages.clear();
        ui.questions.clear();
        ui.answers = answers;
        ProfileRecovering(*session);
        EXPECT_EQ(ui.messages[0].title, "T817");
        EXPECT_EQ(ui.messages[0].text, "T818");
        EXPECT_EQ(ui.questions.front(), Question::RecoverProfile);
        EXPECT_TRUE(std::filesystem::exists(BackupPath()));
        EXPECT_EQ(st().where, ProfileWhere::KeptOnDisk);
        EXPECT_EQ(st().FilesOnDisk(), std::vector<std::filesystem::path>{BackupPath()});
    }
    EXPECT_TRUE(dc.Received().empty());
}

TEST_F(RecoveryTest, OnlyAConfirmedDiscardDeletesTheFile) {
    ui.answers = {MessageAnswer::Discard, MessageAnswer::Discard};
    ProfileRecovering(*session);
    EXPECT_EQ(ui.questions, (std::vector<Question>{Question::RecoverProfile, Question::ConfirmDiscard}));
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_TRUE(dc.Received().empty());
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
    const auto saved = [&] {
        auto c = std::make_unique<BackupContents>();
        ReadBackupFile(BackupPath(), *c);
        return c;
    }();
    dc.Faults().silent = true;
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok, MessageAnswer::Ok};
    ui.onMessage = [&](const RecordedMessage&) {
        if (ui.messages.size() == 3) dc.Faults().silent = false;
    };
    ProfileRecovering(*session);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[1].text, ui.messages[2].text);
    EXPECT_EQ(priorities, (std::vector<std::uint32_t>{0x80, 0x20, 0x80}));
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    for (int j = 0; j < 4; ++j)
        for (int k = 1; k <= 128; ++k) ASSERT_EQ(memory[4608 + 128 * j + k - 1], saved->ProfileBlocks[j][k]);
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
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_EQ(st().BackupFilePath, BackupPath());
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));  // restored, then deleted
    EXPECT_GT(Count(0xB5), 0);
}

TEST_F(RecoveryTest, AnotherDcEndsTheLoopAndLeavesTheFirstDcsFile) {
    SetSerial(0x00, 0x01, 0x23);
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
    ProfileRecovering(*session);
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_EQ(st().BackupFilePath, dir.path() / "6978.000123.bin");
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(Count(0xB5), 0);
}

TEST_F(RecoveryTest, AFailedRestoreIsTriedAgainFromTheFile) {
    dc.Faults().corruptHeaderWrite = true;
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok, MessageAnswer::Ok};
    ui.onMessage = [&](const RecordedMessage&) {
        if (ui.messages.size() == 3) dc.Faults().corruptHeaderWrite = false;
    };
    ProfileRecovering(*session);
    EXPECT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.Events(), (std::vector<std::string>{"T796", "T816", "T796"}));
    EXPECT_EQ(ui.rows.back().status(), "T777");
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(Count(0xB2), 2);
}

TEST_F(RecoveryTest, ADamagedFileIsNeverDeletedByTheRecovery) {
    auto bytes = FileBytes(BackupPath());
    bytes.pop_back();
    {
        std::ofstream out(BackupPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ui.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
    ProfileRecovering(*session);
    EXPECT_TRUE(st().ProfileSafe());
    EXPECT_EQ(FileBytes(BackupPath()), bytes);
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].event, "T824");
    EXPECT_EQ(Count(0xB5), 0);
}

}  // namespace
}  // namespace verno::profile
