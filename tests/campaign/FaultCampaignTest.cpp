// Every fault of the simulated DC aimed at every phase of a two-area update, run as the terminal
// front end runs it, then once more after the fault is mended. Whatever happens, the DC's profile
// must end up in the DC or, byte for byte, in the backup file; only the user may throw it away.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"
#include "profile/BackupFile.h"
#include "common/TextNumbers.h"
#include "tests/campaign/Bench.h"
#include "tests/campaign/ProfilePlace.h"

namespace verno::campaign {
namespace {

constexpr int kArea1Blocks = 6;  // staged over the first six blocks of the profile
constexpr int kArea2Blocks = 4;
constexpr int kAlways = 1000;

std::vector<std::uint8_t> TwoAreaFirmware() {
    return firmware::PackFirmware(firmware::DemoFirmware(firmware::Layout::BothAreas, kArea1Blocks, kArea2Blocks));
}

// A phase of the update, the DC frame that opens it, and the task-log row the program shows
// when that frame arrives (which proves the fault hit the phase it was aimed at).
struct Phase {
    const char* name;
    std::uint8_t ownCommand;  // what "refuses" refuses
    dcsim::FaultArming arm;
    std::string rowWhenArmed;
};

// The start-up's last row says that the firmware file is the demo.
const Phase kNextIdentity{"identity at Next", 0x84, {0x84, 1}, Text(text::kDemoFirmware)};
const Phase kIdentity{"identity", 0x84, {0x84, 2}, Text(text::kUpdateStart)};
const Phase kBackup{"backup", 0xB4, {0xB4, 1}, "VERNO 1B, " + Text(text::kVersionWord) + ": 1A"};
const Phase kArea1{"upload area 1", 0xB5, {0xB5, 1}, Text(text::kUploadArea1)};
const Phase kCloseArea1{"close area 1", 0xB6, {0xB6, 1}, Text(text::kUploadArea1)};
const Phase kRestart{"restart", 0x84, {0x84, 3}, Text(text::kWaitForReset)};
const Phase kArea2{"upload area 2", 0xB7, {0xB7, 1}, Text(text::kUploadArea2)};
const Phase kCloseArea2{"close area 2", 0xB9, {0xB8, 1}, Text(text::kUploadArea2)};
const Phase kVerification{"verification", 0x84, {0x84, 4}, Text(text::kVerifyStart)};
const Phase kRestoreBlocks{"restore blocks", 0xB5, {0xB5, kArea1Blocks + 1}, Text(text::kRestoreRow)};
const Phase kRestoreHeader{"restore header", 0xB2, {0xB2, 1}, Text(text::kRestoreRow)};
// The written blocks read back: from the 101st block read (block 0 and the 48 blocks of the
// backup, each read twice, then block 0 twice before the restore writes); block 0 read back
// after the header is the 149th.
const Phase kBlocksReadBack{"restore read-back", 0xB4, {0xB4, 101}, Text(text::kRestoreRow)};
const Phase kHeaderReadBack{"header read-back", 0xB4, {0xB4, 149}, Text(text::kRestoreRow)};
const Phase kClock{"clock", 0x97, {0x97, 1}, Text(text::kRestoreRow)};
const Phase kEnd{"end of connection", 0xA8, {0xA8, 1}, Text(text::kRestoreRow)};
// The restart's length is fixed when the area is closed.
const Phase kRestartAfterArea1{"restart", 0xB6, {0xB6, 1}, Text(text::kUploadArea1)};
const Phase kRestartAfterArea2{"restart after area 2", 0xB9, {0xB9, 1}, Text(text::kUploadArea2)};

struct Scenario {
    std::string fault;
    Phase phase;
    dcsim::DcFaults faults;
    Policy policy = Policy::Recover;
    bool closeWhenArmed = false;  // the user closes the program as the phase begins
    std::uint16_t profileStart = 256;
    std::uint16_t profileEnd = 639;  // 48 blocks
};

std::vector<Scenario> Campaign() {
    std::vector<Scenario> all;
    auto add = [&](std::string fault, const Phase& phase, dcsim::DcFaults f, Policy policy = Policy::Recover) {
        f.armAt = phase.arm;
        all.push_back({std::move(fault), phase, f, policy});
    };
    const std::vector<Phase> phases{kNextIdentity, kIdentity, kBackup,        kArea1,         kCloseArea1,
                                    kRestart,      kArea2,    kCloseArea2,    kVerification,  kRestoreBlocks,
                                    kBlocksReadBack, kRestoreHeader, kHeaderReadBack, kClock, kEnd};
    for (const Phase& p : phases) {
        dcsim::DcFaults f;
        f.silent = true;
        add("silent", p, f);
        f = {};
        f.refuseCommand = p.ownCommand;
        f.refuseCount = 1;
        add("refuses once", p, f);
        f.refuseCount = kAlways;
        add("refuses always", p, f);
        f = {};
        f.byteAtATime = true;
        add("byte at a time", p, f);
        f = {};
        f.replyLatency = 0.25;
        add("latency 0.25 s", p, f);
        f = {};
        f.garbageBeforeReply = 3;
        add("garbage 3 bytes", p, f);
        // The cable drops off the computer: back within the minute the program waits, or not.
        f = {};
        f.cableOutSeconds = 5.0;
        add("cable out 5 s", p, f);
        f.cableOutSeconds = 90.0;
        add("cable out 90 s", p, f);
    }

    dcsim::DcFaults f;
    f.replyLatency = 1.5;
    add("latency 1.5 s", kIdentity, f);
    add("latency 1.5 s", kVerification, f);

    f = {};
    f.loseAckOfCodeBlock = 1;
    add("loses an ack", kArea1, f);
    add("loses an ack", kArea2, f);
    add("loses an ack", kRestoreBlocks, f);
    f.loseAckOfCodeBlock = kArea1Blocks;
    add("loses the last ack", kArea1, f);

    f = {};
    f.garbledWrites = 1;
    add("keeps a block changed", kRestoreBlocks, f);
    f.garbledWrites = kAlways;
    add("keeps every block changed", kRestoreBlocks, f);

    f = {};
    f.powerLossAtBlock = 1;
    for (const Phase& p : {kArea1, kArea2, kRestoreBlocks, kRestoreHeader}) add("power loss", p, f);
    add("power loss", kRestoreBlocks, f, Policy::Keep);
    // Two blocks of code already lie over the profile: only the file holds it.
    f.powerLossAtBlock = 3;
    add("power loss at block 3", kArea1, f);
    for (const Policy policy : {Policy::Keep, Policy::Discard, Policy::Cancel})
        add("power loss at block 3", kArea1, f, policy);
    f.powerLossAtBlock = 20;
    add("power loss at block 20", kRestoreBlocks, f);

    f = {};
    f.restartSeconds = 60.0;
    add("restart 60 s", kRestartAfterArea1, f);
    add("restart 60 s", kRestartAfterArea2, f);
    f.restartSeconds = 120.0;
    add("restart 120 s", kRestartAfterArea2, f);

    f = {};
    f.refuseCommand = 0xBA;
    f.refuseCount = kAlways;
    add("refuses the revision", kVerification, f);

    // The user closes the program as each phase begins: the recovery puts the profile back, or
    // it stays on disk and the program says where.
    for (const Phase& p : phases) {
        for (const Policy policy : {Policy::Recover, Policy::Keep}) {
            dcsim::DcFaults none;
            add("Close", p, none, policy);
            all.back().closeWhenArmed = true;
        }
    }

    // Blocks read from units 3328 and 3336 go back through the two special write addresses.
    f = {};
    f.refuseSpecialWrites = true;
    add("refuses special writes", kRestoreBlocks, f);
    all.back().profileStart = 3200;
    all.back().profileEnd = 3399;
    f.silent = true;
    add("special writes, then silent", kRestoreBlocks, f);
    all.back().profileStart = 3200;
    all.back().profileEnd = 3399;
    return all;
}

struct Outcome {
    const Scenario* scenario = nullptr;
    RunResult first;
    ProfilePlace afterFirst;
    std::optional<RunResult> second;
    ProfilePlace atEnd;
    bool discarded = false;
};

// The checks after one run; `final` adds what a healthy second attempt must achieve.
void CheckRun(const char* which, const RunResult& run, const ProfilePlace& place, bool discarded,
              const Bench& bench, bool final) {
    SCOPED_TRACE(which);
    EXPECT_FALSE(run.hung) << "still running after " << run.virtualSeconds << " s of virtual time";
    EXPECT_NE(run.verdict, Verdict::NoVerdict) << "the task log ends on \""
                                               << (run.updateRows.empty() ? "" : run.updateRows.back().event) << "\"";
    EXPECT_TRUE(place.settingsIntact);
    if (!discarded) {
        EXPECT_TRUE(place.Safe()) << "the profile is neither in the DC nor in the backup file";
    }
    EXPECT_TRUE(place.strayFiles.empty()) << "left behind: " << place.strayFiles.front();
    // Once read, the profile is in the history for good, byte for byte as the DC held it, even
    // after the user discarded the backup.
    if (place.historyFiles > 0 || place.backupPresent || run.verdict == Verdict::Updated) {
        EXPECT_TRUE(place.historyHoldsProfile);
    }
    if (place.backupPresent && !run.hung) {
        const bool told = std::any_of(run.boxes.begin(), run.boxes.end(), [](const std::string& box) {
            return box.find(".123456.bin") != std::string::npos;
        });
        EXPECT_TRUE(told) << "the program ended with the profile on disk without saying where";
    }
    if (run.verdict == Verdict::Updated) {
        EXPECT_EQ(bench.Dc().Version(), bench.Firmware().FwVersion) << "a success row for a DC with its old code";
        EXPECT_TRUE(place.inDc || discarded) << "a success row without the profile in the DC";
        EXPECT_FALSE(place.backupPresent);
    }
    if (final) {
        EXPECT_TRUE(run.verdict == Verdict::Updated || run.verdict == Verdict::NoUpdateNeeded)
            << VerdictName(run.verdict);
        EXPECT_EQ(bench.Dc().Version(), bench.Firmware().FwVersion);
        EXPECT_EQ(bench.Dc().Revision(), bench.Firmware().FwRevision);
        EXPECT_FALSE(place.backupPresent);
        if (!discarded) {
            EXPECT_TRUE(place.inDc) << "a healthy second attempt left the profile only in the file";
        }
    }
}

void PrintLog(const char* which, const RunResult& run) {
    std::printf("  task log of the %s:\n", which);
    for (const RecordedRow& r : run.allRows) {
        std::printf("    [%d] %s:", static_cast<int>(r.icon), r.event.c_str());
        for (const std::string& status : r.statuses) std::printf(" '%s'", status.c_str());
        std::printf("\n");
    }
}

int FailedChecks() { return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count(); }

Outcome RunScenario(const Scenario& sc, const std::vector<std::uint8_t>& firmwareFile) {
    dcsim::DcConfig config;
    config.profileStart = sc.profileStart;
    config.profileEnd = sc.profileEnd;
    Bench bench(firmwareFile, config, sc.faults);
    const ProfileAtStart start{bench.MemoryAtStart(), config.profileStart, config.profileEnd, config.serial,
                               bench.Firmware().DcModelNumber};

    const int failedBefore = FailedChecks();
    Outcome out;
    out.scenario = &sc;
    out.first = bench.Run(sc.policy, sc.closeWhenArmed);
    out.afterFirst = LocateProfile(start, bench.Dc().Memory(), bench.Folder());
    out.discarded = out.first.userDiscarded;
    EXPECT_EQ(out.first.rowWhenArmed, std::optional<std::string>(sc.phase.rowWhenArmed))
        << "the fault was not aimed at " << sc.phase.name;
    CheckRun("first run", out.first, out.afterFirst, out.discarded, bench, false);
    out.atEnd = out.afterFirst;

    const bool finished = out.first.verdict == Verdict::Updated && out.afterFirst.inDc && !out.afterFirst.backupPresent;
    if (!finished) {
        bench.ClearFaults();
        out.second = bench.Run(Policy::Recover);
        out.atEnd = LocateProfile(start, bench.Dc().Memory(), bench.Folder());
        out.discarded = out.discarded || out.second->userDiscarded;
        CheckRun("second run", *out.second, out.atEnd, out.discarded, bench, true);
    }
    if (FailedChecks() != failedBefore || getenv("VERNO_CAMPAIGN_LOGS")) {
        std::printf("%s / %s:\n", sc.phase.name, sc.fault.c_str());
        PrintLog("first run", out.first);
        if (out.second) PrintLog("second run", *out.second);
    }
    return out;
}

std::string Where(const ProfilePlace& place, bool discarded) {
    if (!place.Safe() && discarded) return "discarded";
    return place.Describe();
}

std::string FirstRun(const Outcome& o) {
    std::string s = VerdictName(o.first.verdict);
    if (o.first.hung) s += ", HUNG";
    if (!o.first.recoveryOffered) return s;
    if (o.first.userDiscarded) return s + "; discarded";
    if (o.first.keptAndEnded) return s + "; kept file";
    // The recovery's loop ended on its own: restored, or the DC's block 0 named another file.
    if (o.afterFirst.inDc && !o.afterFirst.backupPresent) return s + "; recovered";
    return s + (o.afterFirst.backupPresent ? "; gave up, file left" : "; recovery ended");
}

void PrintTable(const std::vector<Outcome>& outcomes, double realSeconds) {
    std::printf("\nEach fault acts from the first frame of its phase on; the second run comes after it is mended.\n");
    std::printf("%-3s %-21s %-28s %-8s %-32s %-10s %-17s %-22s %s\n", "#", "phase", "fault", "policy", "first run",
                "profile", "second run", "profile at the end", "virtual s");
    int n = 0;
    for (const Outcome& o : outcomes) {
        const double virt = o.first.virtualSeconds + (o.second ? o.second->virtualSeconds : 0.0);
        std::printf("%-3d %-21s %-28s %-8s %-32s %-10s %-17s %-22s %5.0f\n", ++n, o.scenario->phase.name,
                    o.scenario->fault.c_str(), PolicyName(o.scenario->policy), FirstRun(o).c_str(),
                    Where(o.afterFirst, o.first.userDiscarded).c_str(), o.second ? VerdictName(o.second->verdict) : "-",
                    Where(o.atEnd, o.discarded).c_str(), virt);
    }
    std::printf("%d scenarios in %.1f s of real time\n\n", n, realSeconds);
    std::fflush(stdout);
}

TEST(FaultCampaign, EveryFaultInEveryPhaseLeavesTheProfileInTheDcOrInItsBackupFile) {
    const auto began = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> fw = TwoAreaFirmware();
    const std::vector<Scenario> scenarios = Campaign();
    std::vector<Outcome> outcomes;
    outcomes.reserve(scenarios.size());
    for (const Scenario& sc : scenarios) {
        SCOPED_TRACE(std::string(sc.phase.name) + " / " + sc.fault + " / " + PolicyName(sc.policy));
        outcomes.push_back(RunScenario(sc, fw));
    }
    PrintTable(outcomes, std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
}

// --- the yardsticks themselves ---

TEST(FaultCampaign, AHealthyDcIsUpdatedInOneRunWithItsProfileInPlace) {
    const std::vector<std::uint8_t> fw = TwoAreaFirmware();
    dcsim::DcConfig config;
    Bench bench(fw, config, {});
    const ProfileAtStart start{bench.MemoryAtStart(), config.profileStart, config.profileEnd, config.serial,
                               bench.Firmware().DcModelNumber};
    const RunResult run = bench.Run(Policy::Recover);
    EXPECT_EQ(run.verdict, Verdict::Updated);
    EXPECT_FALSE(run.recoveryOffered);
    for (const RecordedRow& row : run.allRows) EXPECT_FALSE(row.id.empty()) << "a row without its stable name: " << row.event;
    EXPECT_EQ(bench.Dc().Restarts(), 2);
    const ProfilePlace place = LocateProfile(start, bench.Dc().Memory(), bench.Folder());
    EXPECT_TRUE(place.inDc);
    EXPECT_TRUE(place.settingsIntact);
    EXPECT_FALSE(place.backupPresent);
    EXPECT_TRUE(place.strayFiles.empty());
}

TEST(FaultCampaign, TheProfileCheckSeesEveryChangedByte) {
    const std::vector<std::uint8_t> fw = TwoAreaFirmware();
    dcsim::DcConfig config;
    dcsim::DcFaults f;
    f.powerLossAtBlock = 1;
    f.armAt = kArea1.arm;
    Bench bench(fw, config, f);
    const ProfileAtStart start{bench.MemoryAtStart(), config.profileStart, config.profileEnd, config.serial,
                               bench.Firmware().DcModelNumber};
    const RunResult run = bench.Run(Policy::Keep);
    ASSERT_TRUE(run.keptAndEnded);
    ProfilePlace place = LocateProfile(start, bench.Dc().Memory(), bench.Folder());
    ASSERT_TRUE(place.inFile);
    ASSERT_TRUE(place.inDc) << "the power went before the first block was stored";

    const std::filesystem::path file = bench.Folder() / "6978.123456.bin";
    std::vector<std::uint8_t> bytes(profile::kBackupFileSize);
    {
        std::FILE* in = std::fopen(file.string().c_str(), "rb");
        ASSERT_NE(in, nullptr);
        ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), in), bytes.size());
        std::fclose(in);
    }
    ASSERT_TRUE(FileHoldsProfile(bytes, start));
    // Any byte of the header, the serial digits, an address, a profile byte or a row sum.
    for (const std::size_t at : {std::size_t{3}, std::size_t{16}, std::size_t{21}, profile::BackupValueOffset(0, 0),
                                 profile::BackupValueOffset(47, 128), profile::BackupValueOffset(47, 129) + 1}) {
        std::vector<std::uint8_t> broken = bytes;
        broken[at] ^= 0x01;
        EXPECT_FALSE(FileHoldsProfile(broken, start)) << "offset " << at;
    }
    // A block beyond the profile does not count.
    std::vector<std::uint8_t> beyond = bytes;
    beyond[profile::BackupValueOffset(48, 1)] ^= 0x01;
    EXPECT_TRUE(FileHoldsProfile(beyond, start));

    std::vector<std::uint8_t> memory = bench.Dc().Memory();
    memory[(639 / 8) * 128 + 127] ^= 0x01;  // last byte of the last profile block
    EXPECT_FALSE(LocateProfile(start, memory, bench.Folder()).inDc);
    memory = bench.Dc().Memory();
    memory[72] ^= 0x01;  // a header byte: the profile moved, the settings did not
    place = LocateProfile(start, memory, bench.Folder());
    EXPECT_FALSE(place.inDc);
    EXPECT_TRUE(place.settingsIntact);
    memory = bench.Dc().Memory();
    memory[11] ^= 0x01;  // the serial number
    EXPECT_FALSE(LocateProfile(start, memory, bench.Folder()).settingsIntact);
}

TEST(FaultCampaign, OnlyTheRowsThatEndAnUpdateCountAsItsVerdict) {
    auto rows = [](std::vector<int> numbers) {
        std::vector<RecordedRow> r;
        for (const int n : numbers) r.push_back({TaskIcon::Information, Text(n), {""}, ""});
        return r;
    };
    EXPECT_EQ(VerdictOfRows(rows({782, 796, 786})), Verdict::Updated);
    EXPECT_EQ(VerdictOfRows(rows({782, 790, 814, 815})), Verdict::Failed);
    EXPECT_EQ(VerdictOfRows(rows({782, 150})), Verdict::DcNotAnswering);
    EXPECT_EQ(VerdictOfRows(rows({782, 788, 803, 150})), Verdict::NoVerdict);
    EXPECT_EQ(VerdictOfRows({{TaskIcon::Error, Text(783) + " VERNO 1B!", {""}, ""}}), Verdict::Refused);
    EXPECT_EQ(VerdictOfRows(rows({782, 785})), Verdict::NoUpdateNeeded);
    EXPECT_EQ(VerdictOfRows(rows({782, 815})), Verdict::NoVerdict);
    EXPECT_EQ(VerdictOfRows(rows({782, 796})), Verdict::NoVerdict);
    EXPECT_EQ(VerdictOfRows({}), Verdict::NoVerdict);
}

}  // namespace
}  // namespace verno::campaign
