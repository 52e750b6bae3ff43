// Whole updates against the simulated DC, its bytes paced at the wire rate on virtual time.

#include <gtest/gtest.h>

#include "dcsim/SimulatedDc.h"
#include "dcsim/SimulatedLink.h"
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"
#include "profile/BackupProfile.h"
#include "profile/RestoreProfile.h"
#include "tests/support/SimulatedSession.h"
#include "update/UpdateFirmware.h"

namespace verno::update {
namespace {

using firmware::Layout;

firmware::FirmwareImage DemoImage(Layout layout, int area1, int area2) {
    const auto decoded = firmware::DecodeFirmware(firmware::PackFirmware(firmware::DemoFirmware(layout, area1, area2)));
    EXPECT_TRUE(decoded.ok());
    return decoded.image;
}

struct SimulatedRun : SimulatedSession {
    using SimulatedSession::SimulatedSession;
    std::vector<std::uint8_t> Bytes(std::size_t fromUnit, std::size_t toUnit) const {
        return SimulatedSession::Bytes(16 * fromUnit, 16 * toUnit);
    }
    // No backup file left: only the history, which keeps every profile read for good.
    bool FolderEmpty() const {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename() != "history") return false;
        return true;
    }
};

TEST(SimulatedUpdate, Area1OnlyLeavesTheProfileAsItWasAndNoBackupFile) {
    dcsim::DcConfig cfg;  // version 1A, profile units 256..639, serial 123456
    SimulatedRun run(DemoImage(Layout::Area1Only, 20, 0), cfg);
    const auto profileBefore = run.Bytes(256, 640);
    const auto block0Before = run.Bytes(0, 8);

    UpdateFirmware(*run.session);

    EXPECT_EQ(run.ui.rows.back().event, "T786");
    EXPECT_EQ(run.dc.Restarts(), 1);
    EXPECT_EQ(run.dc.Version(), "1B");
    EXPECT_EQ(run.dc.ProtocolErrors(), 0);
    EXPECT_EQ(run.Bytes(256, 640), profileBefore);
    EXPECT_EQ(run.Bytes(0, 8), block0Before);
    EXPECT_TRUE(run.FolderEmpty());
    EXPECT_TRUE(run.session->Profile().ProfileSafe());
    EXPECT_FALSE(run.session->AttemptFailed());
    EXPECT_EQ(run.dc.ConnectionsEnded(), 1);
}

TEST(SimulatedUpdate, BothAreasRestartTwiceAndKeepTheProfile) {
    dcsim::DcConfig cfg;
    SimulatedRun run(DemoImage(Layout::BothAreas, 6, 4), cfg);
    const auto profileBefore = run.Bytes(256, 640);
    UpdateFirmware(*run.session);
    EXPECT_EQ(run.ui.rows.back().event, "T786");
    EXPECT_NE(run.ui.FindRow("T794"), nullptr);
    EXPECT_EQ(run.dc.Restarts(), 2);
    EXPECT_EQ(run.Bytes(256, 640), profileBefore);
    EXPECT_TRUE(run.FolderEmpty());
}

TEST(SimulatedUpdate, APowerLossDuringTheUploadLeavesTheBackupForTheRecovery) {
    dcsim::DcConfig cfg;
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    SimulatedRun run(DemoImage(Layout::Area1Only, 20, 0), cfg, faults);
    UpdateFirmware(*run.session);
    EXPECT_FALSE(run.session->Profile().ProfileSafe());
    EXPECT_TRUE(run.session->AttemptFailed());
    EXPECT_TRUE(std::filesystem::exists(run.session->Profile().BackupFilePath()));
    EXPECT_EQ(run.ui.rows.back().event, "T815");
}

TEST(SimulatedRestore, RefusedSpecialWritesAreRestoredIn16BytePieces) {
    dcsim::DcConfig cfg;
    cfg.profileStart = 3320;
    cfg.profileEnd = 3350;  // write addresses 3064, 3072, 3080, 3088
    dcsim::DcFaults faults;
    faults.refuseSpecialWrites = true;
    SimulatedRun run(DemoImage(Layout::Area1Only, 2, 0), cfg, faults);
    const auto before = run.Bytes(3320, 3352);
    ASSERT_EQ(profile::BackupProfile(*run.session), profile::BackupOutcome::Saved);
    for (std::size_t i = 16 * 3320; i < 16 * 3352; ++i) run.dc.MutableMemory()[i] = 0;

    EXPECT_TRUE(profile::RestoreProfile(*run.session));
    EXPECT_EQ(run.Bytes(3320, 3352), before);
    EXPECT_EQ(run.dc.Counters(0xB2).frames, 3 * 8 + 1);  // blocks 2..4 in pieces, then the header
    EXPECT_TRUE(run.FolderEmpty());
}

}  // namespace
}  // namespace verno::update
