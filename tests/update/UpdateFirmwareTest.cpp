#include "update/UpdateFirmware.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/TextNumbers.h"
#include "profile/BackupFile.h"
#include "profile/BackupProfile.h"
#include "profile/History.h"
#include "tests/profile/DcFixture.h"
#include "tests/support/FaultyFiles.h"
#include "update/UploadCode.h"
#include "update/VerifyNewCode.h"
#include "update/WaitForReset.h"

namespace verno::update {
namespace {

using firmware::Layout;
using Rows = std::vector<std::string>;

// The statuses of a reset wait of n seconds: a second at a time, then done.
Rows Countdown(int n) {
    Rows statuses;
    for (int left = n; left > 0; --left) statuses.push_back(std::to_string(left) + " s left");
    statuses.push_back("T777");
    return statuses;
}

class UpdateTest : public DcFixture {
protected:
    explicit UpdateTest(firmware::FirmwareImage image = MakeFirmware(Layout::Area1Only, 3, 0))
        : DcFixture(std::move(image)) {
        profileBefore = MemoryRange(4608, 5120);
        headerBefore = MemoryRange(64, 80);
        ui.texts[text::kSecondsLeft] = "%1 s left";
    }
    void Run() { UpdateFirmware(*session); }
    bool Sent(std::uint8_t command) const { return Count(command) > 0; }
    // Time from the last frame with `command` to the next identity request.
    link::Seconds QuietAfter(std::uint8_t command) const {
        const auto* f = Last(command);
        const auto* next = f ? First(0x84, f->at) : nullptr;
        return next ? next->at - f->at : link::Seconds(-1);
    }
    void ExpectProfileIntactAndNoBackup() {
        EXPECT_EQ(MemoryRange(4608, 5120), profileBefore);
        EXPECT_EQ(MemoryRange(64, 80), headerBefore);
        EXPECT_FALSE(std::filesystem::exists(BackupPath()));
        EXPECT_TRUE(session->Profile().ProfileSafe());
    }
    const RecordedRow& Row(std::size_t i) const { return ui.rows.at(i); }

    std::vector<std::uint8_t> profileBefore;
    std::vector<std::uint8_t> headerBefore;
};

class Area2Test : public UpdateTest {
protected:
    Area2Test() : UpdateTest(MakeFirmware(Layout::Area2Only, 2, 2)) {}
};
class BothAreasTest : public UpdateTest {
protected:
    BothAreasTest() : UpdateTest(MakeFirmware(Layout::BothAreas, 3, 2)) {}
};

// --- complete runs ---

TEST_F(UpdateTest, Area1OnlyUpdatesAndPutsTheProfileBack) {
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: 1A", "T842", "T787", "T803", "T792",
                                 "T794", "T796", "T786"}));
    EXPECT_EQ(Row(0).statuses, (Rows{"...", "T777"}));
    EXPECT_EQ(Row(3).statuses, (Rows{"", "33%", "67%", "100%", "T777"}));
    EXPECT_EQ(Row(4).statuses, Countdown(12));
    EXPECT_EQ(Row(5).statuses, (Rows{"...", "T777"}));
    EXPECT_EQ(Row(6).icon, TaskIcon::Warning);
    EXPECT_EQ(Row(8).icon, TaskIcon::Warning);
    ExpectProfileIntactAndNoBackup();
    EXPECT_FALSE(session->AttemptFailed());

    // Block 1 as the DC received it: header with the address, then 128 code bytes and the block byte.
    const auto* header = First(0xB5);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->bytes, (std::vector<std::uint8_t>{0xB5, 0x00, 0x20}));
    const auto payload = std::find_if(dc.Received().begin(), dc.Received().end(), [](const auto& f) { return f.payload; });
    std::vector<std::uint8_t> expected(fw.Area1Blocks[0].code.begin(), fw.Area1Blocks[0].code.end());
    expected.push_back(fw.Area1Blocks[0].blockByte);
    EXPECT_EQ(payload->bytes, expected);
    EXPECT_EQ(Last(0xB6)->bytes, (std::vector<std::uint8_t>{0xB6, 0x00, 0xC3}));  // the sum of 0x40, 0x41, 0x42
    EXPECT_FALSE(Sent(0xB7));
    EXPECT_GT(QuietAfter(0xB6), link::Seconds(12.0));
    EXPECT_LT(QuietAfter(0xB6), link::Seconds(12.5));
    EXPECT_FALSE(Sent(0xBA)) << "area 1 only reads no revision";
    EXPECT_EQ(Commands().back(), 0xA8);
    EXPECT_EQ(priorities.front(), 0x100u);
    EXPECT_EQ(priorities.back(), 0x20u);
    EXPECT_EQ(ui.resetStages, 1) << "the verification resets the stage";
}

TEST_F(Area2Test, Area2OnlyClosesWithB8ThenB9AndWaits45Seconds) {
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: 1A", "T842", "T787", "T803", "T792",
                                 "T794", "T796", "T786"}));
    EXPECT_FALSE(Sent(0xB6));
    EXPECT_EQ(Count(0xB7), 2);
    EXPECT_EQ(Last(0xB8)->bytes, (std::vector<std::uint8_t>{0xB8, 0x01, 0x02}));
    EXPECT_EQ(Last(0xB9)->bytes, (std::vector<std::uint8_t>{0xB9, 0x00, 0x81}));
    EXPECT_GT(QuietAfter(0xB9), link::Seconds(45.0));
    EXPECT_LT(QuietAfter(0xB9), link::Seconds(45.5));
    ExpectProfileIntactAndNoBackup();
}

TEST_F(BothAreasTest, BothAreasWait10SecondsBetweenAndAsksForTheIdentity) {
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: 1A", "T842", "T788", "T803", "T789",
                                 "T803", "T792", "T794", "T796", "T786"}));
    EXPECT_GT(QuietAfter(0xB6), link::Seconds(10.0));
    EXPECT_LT(QuietAfter(0xB6), link::Seconds(10.5));
    EXPECT_GT(QuietAfter(0xB9), link::Seconds(45.0));
    EXPECT_GT(First(0xB7)->at, Last(0xB6)->at);
    ExpectProfileIntactAndNoBackup();
}

TEST_F(BothAreasTest, ADcSilentBetweenTheAreasGetsNoArea2AndKeepsTheBackup) {
    dc.Faults().unansweredCommand = 0x84;
    dc.Faults().armAt = dcsim::FaultArming{0xB6, 1};
    Run();
    EXPECT_FALSE(Sent(0xB7));
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: 1A", "T842", "T788", "T803", "T150",
                                 "T814", "T815"}));
    EXPECT_EQ(Row(4).status(), "T280");
    EXPECT_EQ(Row(6).icon, TaskIcon::Error);
    EXPECT_EQ(Row(7).icon, TaskIcon::Warning);  // the failure verdict's second row
    EXPECT_FALSE(session->Profile().ProfileSafe());
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
}

// --- the outcomes of one attempt ---

TEST_F(UpdateTest, ASilentDcEndsTheUpdateWithoutEndingTheConnection) {
    dc.Faults().silent = true;
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "T150"}));
    // Calls 2 to 12 show in the status while the DC stays silent.
    Rows statuses{"..."};
    statuses.insert(statuses.end(), 11, "T878");
    statuses.push_back("T280");
    EXPECT_EQ(Row(0).statuses, statuses);
    EXPECT_EQ(Row(1).icon, TaskIcon::Error);
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_TRUE(session->Profile().ProfileSafe());
    EXPECT_FALSE(Sent(0xA8));
    EXPECT_EQ(ui.resetStages, 1);
}

TEST_F(UpdateTest, AnotherModelIsNamedWithASpaceBeforeTheModelName) {
    dc.MutableConfig().identity = "OTHERDC FW-1A XX";
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "T783 VERNO 1B!"}));
    EXPECT_EQ(Row(1).icon, TaskIcon::Error);
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_TRUE(session->Profile().ProfileSafe());
    EXPECT_FALSE(Sent(0xA8));
    EXPECT_EQ(ui.resetStages, 1);
}

TEST_F(UpdateTest, Version19IsBelowTheRequired1A) {
    dc.SetFirmware("19", 0);
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "T783 VERNO 1B, T781 1A T784"}));
    EXPECT_EQ(Row(1).icon, TaskIcon::Error);
    EXPECT_TRUE(Sent(0xA8));
    EXPECT_TRUE(session->AttemptFailed()) << "set after EndConnection";
    EXPECT_TRUE(session->Profile().ProfileSafe());
    EXPECT_FALSE(Sent(0xB4));
    EXPECT_EQ(ui.resetStages, 1);
}

TEST_F(UpdateTest, A1TIsAlwaysUpdated) {
    fw.FwVersion = "1A";
    dc.SetFirmware("1T", 0);
    dc.MutableConfig().versionAfterUpdate = "1T";
    Run();
    EXPECT_EQ(Count(0xB6), 1);
    EXPECT_EQ(ui.rows.back().event, "T786");
}

TEST_F(Area2Test, ANewerRevisionIsRefusedAndTheConnectionEnded) {
    fw.RequiredRevision = 1;
    dc.SetFirmware("1A", 3);
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "T785"}));
    EXPECT_EQ(Row(1).icon, TaskIcon::Warning);
    EXPECT_TRUE(Sent(0xA8));
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_EQ(ui.resetStages, 1);
}

TEST_F(Area2Test, AnEqualRevisionIsUpdatedAndTheAcceptedRowShowsIt) {
    fw.RequiredRevision = 1;
    dc.SetFirmware("1A", 2);
    Run();
    EXPECT_EQ(Row(1).event, "VERNO 1B, T781: 1A.02");
    EXPECT_TRUE(Sent(0xB9));
}

TEST_F(UpdateTest, NoUpdateNeededWithoutABackupEndsTheConnection) {
    dc.SetFirmware("1B", 0);
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "T785"}));
    EXPECT_EQ(Row(1).icon, TaskIcon::Warning);
    EXPECT_FALSE(session->Profile().KeepProfile());
    EXPECT_TRUE(session->Profile().ProfileSafe());
    EXPECT_FALSE(session->AttemptFailed()) << "as EndConnection left it";
    EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{0x84, 0xB4, 0xB4, 0xA8}));
    EXPECT_EQ(ui.resetStages, 1);
}

TEST_F(UpdateTest, NoUpdateNeededRestoresTheProfileOfAnEarlierInterruptedUpdate) {
    // An earlier run saved the profile, then the DC's profile area was overwritten.
    profile::BackupProfile(*session);
    for (std::size_t i = 4608; i < 5120; ++i) memory[i] = 0xEE;
    NewSession();
    ui = RecordingSurface{};
    dc.SetFirmware("1B", 0);
    Run();
    // What the DC holds is read and kept first; its header is unchanged: no question.
    EXPECT_EQ(ui.Events(), (Rows{"T782", "T785", "T850", "T842", "T857", "T796", "T786"}));
    EXPECT_TRUE(ui.questions.empty());
    ExpectProfileIntactAndNoBackup();
    EXPECT_EQ(ui.resetStages, 0);
    EXPECT_FALSE(Sent(0xB6));
}

TEST_F(UpdateTest, AKeptBackupGoesBackUnlessThePresentProfileIsChosenAndNeitherIsLost) {
    // An earlier run saved the profile and was interrupted; since then the DC's header changed:
    // new dives, or a restore whose header went wrong. Nobody answers: the saved one goes back.
    profile::BackupProfile(*session);
    const auto older = MemoryRange(4608, 5120);
    SetPointers(0x1000, 0x13F0);
    for (std::size_t i = 4096; i < 4608; ++i) memory[i] = static_cast<std::uint8_t>(i * 13);
    const auto present = MemoryRange(4096, 5120);
    NewSession();
    ui = RecordingSurface{};
    dc.SetFirmware("1B", 0);
    Run();

    EXPECT_EQ(ui.Events(), (Rows{"T782", "T785", "T850", "T842", "T857", "T796", "T786"}));
    EXPECT_EQ(ui.questions, std::vector<Question>{Question::WhichProfile});
    EXPECT_EQ(MemoryRange(4608, 5120), older);
    EXPECT_EQ(MemoryRange(64, 80), headerBefore);
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    const auto kept = session->FilesKept();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].why, profile::KeptWhy::PresentProfile);
    const auto read = profile::ProfileFiles(*files).Read(kept[0].file, 512);
    ASSERT_EQ(read.status, profile::ProfileFileStatus::Ok);
    EXPECT_EQ(read.image->ProfileBlockCount, 8) << "the present profile, named";

    // The present one chosen: it is written back, and the saved one stays in the history.
    NewSession();
    profile::BackupProfile(*session);  // a backup of the DC's profile as it is now, the older one
    SetPointers(0x1000, 0x13F0);
    for (std::size_t i = 4096; i < 5120; ++i) memory[i] = present[i - 4096];
    NewSession();
    ui = RecordingSurface{};
    ui.answers = {MessageAnswer::Present};
    Run();
    EXPECT_EQ(MemoryRange(4096, 5120), present);
    ASSERT_EQ(session->FilesKept().size(), 1u);
    EXPECT_EQ(session->FilesKept()[0].why, profile::KeptWhy::SavedProfile);
}

TEST_F(UpdateTest, AFailedUploadKeepsTheBackupForTheRecovery) {
    dc.Faults().refuseWriteAt = 40;
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: 1A", "T842", "T787", "T790", "T814",
                                 "T815"}));
    EXPECT_EQ(Row(3).statuses, (Rows{"", "33%", "67%", "T280"}));
    EXPECT_FALSE(Sent(0xB6));
    EXPECT_FALSE(session->Profile().ProfileSafe());
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(Sent(0x97));
    EXPECT_EQ(Commands().back(), 0xA8);
}

TEST_F(UpdateTest, AFailedBackupReadSendsNoCode) {
    dc.Faults().unansweredCommand = 0xB4;
    dc.Faults().unansweredUnit = 0x0130;
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: 1A", "T842", "T797", "T814", "T815"}));
    EXPECT_EQ(Row(2).statuses.back(), "T280");
    EXPECT_EQ(Count(0xB5), 0);
    EXPECT_EQ(std::count_if(dc.Received().begin(), dc.Received().end(), [](const auto& f) { return f.payload; }), 1)
        << "only the clock record's payload";
    EXPECT_FALSE(std::filesystem::exists(BackupPath()));
    EXPECT_TRUE(session->Profile().ProfileSafe()) << "nothing was saved, and the DC still holds its profile";
    EXPECT_TRUE(session->AttemptFailed());
}

TEST_F(UpdateTest, TheProfileWaitsToBeWrittenBackFromTheMomentItIsSaved) {
    // Close during the upload, the restart wait or the restore must offer the recovery: whenever
    // the backup file exists, ProfileSafe is False.
    int pumpsWithBackup = 0;
    int safeWithBackup = 0;
    link.SetOnPump([&] {
        if (!std::filesystem::exists(BackupPath())) return;
        ++pumpsWithBackup;
        safeWithBackup += session->Profile().ProfileSafe();
    });
    Run();
    EXPECT_GT(pumpsWithBackup, 1000);  // the upload, 12 s of restart wait, the restore
    EXPECT_EQ(safeWithBackup, 0);
    EXPECT_TRUE(session->Profile().ProfileSafe()) << "written back at the end";
}

TEST_F(UpdateTest, AnEmptyProfileWithAFailedUploadIsSafeButFailed) {
    SetPointers(0x3000, 0x3000);
    dc.Faults().refuseWriteAt = 32;
    Run();
    EXPECT_FALSE(session->Profile().KeepProfile());
    EXPECT_TRUE(session->Profile().ProfileSafe());
    EXPECT_EQ(ui.rows.back().event, "T815");
}

TEST_F(UpdateTest, APortWriteErrorInTheArea1UploadStopsTheLinkWithoutAFailureRow) {
    link.FailWriteOf(130, 2);  // the second payload
    EXPECT_FALSE(UploadCode(*session));
    EXPECT_EQ(comm.ReadIdentity(), link::LinkStatus::Aborted) << "the link stops";
    EXPECT_EQ(ui.Events(), (Rows{"T787"}));
    EXPECT_EQ(Row(0).statuses, (Rows{"", "33%", "67%"}));
    EXPECT_EQ(ui.resetStages, 1);
    EXPECT_FALSE(Sent(0xB6));
}

TEST_F(UpdateTest, APortWriteErrorDuringTheUpdateKeepsTheBackup) {
    link.FailWriteOf(130, 2);  // the second payload
    Run();
    EXPECT_EQ(ui.FindRow("T790"), nullptr);
    EXPECT_FALSE(session->Profile().ProfileSafe());
    EXPECT_TRUE(std::filesystem::exists(BackupPath()));
    EXPECT_EQ(ui.rows.back().event, "T815");
}

TEST_F(Area2Test, ARefusedB8IsReportedOnlyAfterB9WasSent) {
    dc.Faults().unansweredCommand = 0xB8;
    UploadCode2(*session);
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_TRUE(Sent(0xB9));
    EXPECT_EQ(ui.Events(), (Rows{"T787", "T790"}));
    EXPECT_EQ(Row(0).status(), "T280");
}

// --- verification ---

TEST_F(UpdateTest, ADcStillReportingItsOldVersionIsNotCountedAsUpdated) {
    ui.texts[821] = "reports %1, expected %2";
    dc.MutableConfig().versionAfterUpdate = "1A";  // the new code did not take
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: 1A", "T842", "T787", "T803", "T792",
                                 "reports 1A, expected 1B", "T796", "T814", "T815"}));
    EXPECT_EQ(Row(6).icon, TaskIcon::Error);
    ExpectProfileIntactAndNoBackup();
    EXPECT_TRUE(session->AttemptFailed());
}

TEST_F(BothAreasTest, AnOldRevisionIsNamedWithVersionAndRevision) {
    ui.texts[821] = "reports %1, expected %2";
    dc.MutableConfig().revisionAfterUpdate = 1;
    Run();
    EXPECT_NE(ui.FindRow("reports 1B.01, expected 1B.02"), nullptr);
    EXPECT_EQ(ui.rows.back().event, "T815");
    ExpectProfileIntactAndNoBackup();
}

TEST_F(UpdateTest, FiveWordIdentityIsRefusedInArea1OnlyForItsEmptyVersion) {
    dc.MutableConfig().identity = "DEMO-1B a b c de";
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "T783 VERNO 1B, T781 1A T784"}));
}

TEST_F(BothAreasTest, FiveWordIdentityIsUpdatedAndWarnedThatTheVersionWasNotChecked) {
    dc.MutableConfig().identity = "DEMO-1B a b c de";
    Run();
    EXPECT_EQ(ui.Events(), (Rows{"T782", "VERNO 1B, T781: ", "T842", "T788", "T803", "T789",
                                 "T803", "T792", "T822", "T796", "T786"}));
    EXPECT_EQ(Row(8).icon, TaskIcon::Warning);
    EXPECT_FALSE(session->AttemptFailed());
    ExpectProfileIntactAndNoBackup();
}

TEST_F(UpdateTest, WaitForResetRunsOnTheMonotonicClockAndCountsItsSeconds) {
    const link::Seconds t0 = clock.Now();
    WaitForReset(*session, link::Seconds(12.0));
    EXPECT_GT(clock.Now() - t0, link::Seconds(12.0));
    EXPECT_LT(clock.Now() - t0, link::Seconds(12.05));
    const link::Seconds t1 = clock.Now();
    WaitForReset(*session, link::Seconds(0.0));
    EXPECT_GT(clock.Now(), t1);
    EXPECT_LT(clock.Now() - t1, link::Seconds(0.05));
    EXPECT_TRUE(dc.Received().empty());
    EXPECT_EQ(ui.rows[0].statuses, Countdown(12));
    EXPECT_EQ(ui.rows[1].statuses, (Rows{"0 s left", "T777"}));

    // A wait that does not end on a whole second still shows each second once.
    WaitForReset(*session, link::Seconds(2.5));
    EXPECT_EQ(ui.rows[2].statuses, (Rows{"3 s left", "2 s left", "1 s left", "T777"}));
}

// --- a backup that cannot be made safely sends no code ---

TEST_F(UpdateTest, ABackupThatCannotBeWrittenSendsNoCode) {
    FaultyFiles full;
    full.Arm(FaultyFiles::Mode::DiskFull, 1);
    files = &full;
    NewSession();
    Run();
    EXPECT_FALSE(Sent(0xB5));
    ASSERT_GE(ui.rows.size(), 4u);
    EXPECT_EQ(Row(2).status(), "T280");
    EXPECT_EQ(Row(3).event, "T823");
    EXPECT_EQ(Row(3).icon, TaskIcon::Error);
    EXPECT_EQ(ui.Events().back(), "T815");
    EXPECT_TRUE(session->Profile().ProfileSafe()) << "nothing was overwritten";
    EXPECT_TRUE(session->AttemptFailed());
    EXPECT_EQ(Commands().back(), 0xA8);
    EXPECT_EQ(MemoryRange(4608, 5120), profileBefore);
}

TEST_F(UpdateTest, ADamagedBackupOfThisDcIsKeptAndNoCodeIsSent) {
    const std::vector<std::uint8_t> junk(5000, 0x42);
    {
        std::ofstream out(BackupPath(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(junk.data()), static_cast<std::streamsize>(junk.size()));
    }
    Run();
    EXPECT_FALSE(Sent(0xB5));
    EXPECT_NE(ui.FindRow("T824"), nullptr);
    EXPECT_TRUE(session->Profile().ProfileSafe());
    EXPECT_EQ(ui.Events().back(), "T815");
    std::ifstream in(BackupPath(), std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), junk);
}

}  // namespace
}  // namespace verno::update
