// The bundle's programs against each other in real time: verno-update drives verno-dcsim over a
// pseudo-terminal through the real serial adapter. The DC's memory afterwards is the verdict.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/e2e/Processes.h"

namespace verno::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::size_t kBlock = 128;
constexpr int kProfileStart = 256;  // units
constexpr int kProfileEnd = 1800;
constexpr std::size_t kProfileFirstByte = 16 * kProfileStart;
constexpr std::size_t kProfileLastByte = 16 * (kProfileEnd / 8 * 8) + kBlock;

class UpdateOverPty : public ::testing::Test {
protected:
    fs::path work;
    fs::path bundle;  // a copy of the programs and data, so backup files land in this test's folder

    void SetUp() override {
        work = fs::temp_directory_path() /
               ("verno-e2e-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(getpid()));
        fs::remove_all(work);
        bundle = work / "bundle";
        fs::create_directories(bundle);
        for (const char* name : {"verno-update", "FirmwareUpdate.lng", "VERNO.1B.FWR"})
            fs::copy_file(fs::path(VERNO_BUNDLE) / name, bundle / name);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(work);
    }

    // Starts verno-dcsim; the DC's memory is written to memoryOut when it is stopped.
    pid_t StartDc(const std::string& name, std::vector<std::string> extra, int profileEnd = kProfileEnd,
                  int serial = 4711) {
        std::vector<std::string> argv = {fs::path(VERNO_BUNDLE) / "verno-dcsim", "--link", (work / name).string(),
                                         "--serial", std::to_string(serial), "--profile-start", std::to_string(kProfileStart),
                                         "--profile-end", std::to_string(profileEnd), "--firmware",
                                         (bundle / "VERNO.1B.FWR").string(), "--memory-out",
                                         (work / (name + ".out")).string()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        const pid_t pid = Spawn(argv, work / (name + ".log"));
        EXPECT_TRUE(WaitForPath(work / name, 5s)) << ReadText(work / (name + ".log"));
        return pid;
    }
    std::vector<std::uint8_t> StopDc(pid_t pid, const std::string& name) {
        kill(pid, SIGTERM);
        EXPECT_EQ(Wait(pid), 0);
        return ReadBytes(work / (name + ".out"));
    }
    pid_t StartUpdate(const std::string& dc, const std::string& recover, const std::string& log) {
        return Spawn({(bundle / "verno-update").string(), "--port", (work / dc).string(), "--recover", recover},
                     work / log);
    }
    int Update(const std::string& dc, const std::string& recover, const std::string& log) {
        return Wait(StartUpdate(dc, recover, log));
    }
    // A firmware file of a few blocks, for the tests that need no full-size upload.
    void UseSmallFirmware() {
        ASSERT_EQ(Wait(Spawn({(fs::path(VERNO_BUNDLE) / "verno-fwr").string(), "demo", "--layout", "area1",
                              "--area1-blocks", "20", (bundle / "VERNO.1B.FWR").string()},
                             work / "fwr.log")),
                  0)
            << ReadText(work / "fwr.log");
    }
    static bool WaitForText(const fs::path& file, const std::string& text, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (ReadText(file).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // The memory a fresh DC starts with.
    std::vector<std::uint8_t> InitialMemory() {
        const pid_t pid = StartDc("initial", {});
        return StopDc(pid, "initial");
    }
    fs::path BackupFile() const { return bundle / "6978.004711.bin"; }
    std::vector<std::string> Files(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static void ExpectProfileEqual(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                                   std::size_t lastByte = kProfileLastByte) {
        ASSERT_EQ(before.size(), after.size());
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + kBlock, after.begin())) << "block 0 differs";
        const auto firstDifference =
            std::mismatch(before.begin() + kProfileFirstByte, before.begin() + lastByte, after.begin() + kProfileFirstByte);
        EXPECT_EQ(firstDifference.first, before.begin() + lastByte)
            << "profile differs at byte " << (firstDifference.first - before.begin());
    }
};

TEST_F(UpdateOverPty, FullUpdateLeavesTheProfileAsItWasAndNoBackupFile) {
    const auto before = InitialMemory();
    const pid_t dc = StartDc("dc", {"--memory-in", (work / "initial.out").string()});
    EXPECT_EQ(Update("dc", "keep", "update.log"), 0) << ReadText(work / "update.log");
    // The port's lock file (where the system keeps them) goes with the program.
    const fs::path pty = fs::read_symlink(work / "dc");
    EXPECT_FALSE(fs::exists("/var/lock/LCK.." + pty.parent_path().filename().string() + "_" + pty.filename().string()));
    const auto after = StopDc(dc, "dc");
    ExpectProfileEqual(before, after);
    EXPECT_FALSE(fs::exists(BackupFile()));
    EXPECT_NE(ReadText(work / "update.log").find("The firmware update completed successfully."), std::string::npos);

    // The profile read stays in the history, listed for machines.
    EXPECT_EQ(Wait(Spawn({(bundle / "verno-update").string(), "--history", "--json"}, work / "history.log")), 0);
    const auto line = nlohmann::json::parse(ReadText(work / "history.log"));
    EXPECT_EQ(line["type"], "history");
    EXPECT_EQ(line["serial"], "004711");
    EXPECT_EQ(line["version"], "1A");
    EXPECT_GT(line["blocks"].get<int>(), 0);
    EXPECT_TRUE(fs::exists(line["file"].get<std::string>()));
}

TEST_F(UpdateOverPty, UploadCutOffKeepsTheBackupAndTheNextRunPutsTheProfileBack) {
    const auto before = InitialMemory();
    pid_t dc = StartDc("dc", {"--memory-in", (work / "initial.out").string(), "--fault", "power-loss=40"});
    EXPECT_EQ(Update("dc", "keep", "first.log"), 1) << ReadText(work / "first.log");
    const auto cutOff = StopDc(dc, "dc");
    ASSERT_TRUE(fs::exists(BackupFile())) << ReadText(work / "first.log");
    EXPECT_EQ(fs::file_size(BackupFile()), 266274u);
    // The upload wrote over the profile in the DC: the file is now its only copy.
    EXPECT_FALSE(std::equal(before.begin() + kProfileFirstByte, before.begin() + kProfileLastByte,
                            cutOff.begin() + kProfileFirstByte));
    // Row 0 of the file's first data column is byte 0 of the first saved block.
    const auto file = ReadBytes(BackupFile());
    EXPECT_EQ(file[34 + 2 * 1024], before[kProfileFirstByte]);

    // The DC has power again; a new run reuses the backup and writes it back.
    fs::copy_file(work / "dc.out", work / "cutoff.bin");
    dc = StartDc("dc2", {"--memory-in", (work / "cutoff.bin").string()});
    EXPECT_EQ(Update("dc2", "yes", "second.log"), 0) << ReadText(work / "second.log");
    const auto after = StopDc(dc, "dc2");
    ExpectProfileEqual(before, after);
    EXPECT_FALSE(fs::exists(BackupFile()));
}

TEST_F(UpdateOverPty, RecoveryAtCloseWritesTheProfileBackWhenTheDcAnswersAgain) {
    const auto before = InitialMemory();
    // The DC stays silent after its restart for longer than the verification waits.
    const pid_t dc = StartDc("dc", {"--memory-in", (work / "initial.out").string(), "--restart-seconds", "40"});
    EXPECT_EQ(Update("dc", "yes", "update.log"), 1) << ReadText(work / "update.log");
    const auto after = StopDc(dc, "dc");
    ExpectProfileEqual(before, after);
    EXPECT_FALSE(fs::exists(BackupFile())) << ReadText(work / "update.log");
}

// A profile from the history written back by --restore, for a script: the history dated from its
// files, the result line saying what was done, and a prune that keeps the newest.
TEST_F(UpdateOverPty, RestoreFromTheHistoryReportsRestoredAndThePruneKeepsTheNewest) {
    constexpr int kEightBlocks = 319;
    UseSmallFirmware();
    const pid_t dc = StartDc("dc", {}, kEightBlocks);
    EXPECT_EQ(Update("dc", "keep", "update.log"), 0) << ReadText(work / "update.log");

    ASSERT_EQ(Wait(Spawn({(bundle / "verno-update").string(), "--history", "--json", "--serial", "4711"},
                         work / "history.log")),
              0);
    const auto entry = nlohmann::json::parse(ReadText(work / "history.log"));
    EXPECT_THAT(entry["date"].get<std::string>(), ::testing::MatchesRegex("20[0-9-]+T[0-9:]+[+-][0-9][0-9]:[0-9][0-9]"));
    EXPECT_EQ(entry["blocks"], 8);
    const std::string file = entry["file"].get<std::string>();
    const auto bytes = ReadBytes(file);

    EXPECT_EQ(Wait(Spawn({(bundle / "verno-update").string(), "--port", (work / "dc").string(), "--restore", file,
                          "--yes", "--json"},
                         work / "restore.log")),
              0)
        << ReadText(work / "restore.log");
    const std::string out = ReadText(work / "restore.log");
    const auto result = nlohmann::json::parse(out.substr(out.rfind("{\"type\":\"result\"")));
    EXPECT_EQ(result["outcome"], "restored");
    EXPECT_EQ(result["serial"], "004711");
    EXPECT_EQ(ReadBytes(file), bytes) << "the chosen file is kept as it was";
    StopDc(dc, "dc");

    EXPECT_EQ(Wait(Spawn({(bundle / "verno-update").string(), "--prune-history", "--keep", "1"}, work / "prune.log")), 0);
    EXPECT_TRUE(fs::exists(file)) << "the DC held the same profile: no second file, and the newest stays";
}

// The cable drops off the computer in the middle of the upload and is back four seconds later,
// at the same place: the program waits for it, says so, and the update goes on to its end.
TEST_F(UpdateOverPty, ACableThatDropsDuringTheUploadIsWaitedForAndTheUpdateEnds) {
    constexpr int kEightBlocks = 319;
    UseSmallFirmware();
    const pid_t first = StartDc("initial", {}, kEightBlocks);
    const auto before = StopDc(first, "initial");
    const pid_t dc = StartDc("dc", {"--memory-in", (work / "initial.out").string(), "--fault", "cable-out=4",
                                    "--fault", "arm=B5:5"},
                             kEightBlocks);
    EXPECT_EQ(Wait(Spawn({(bundle / "verno-update").string(), "--port", (work / "dc").string(), "--recover", "keep",
                          "--log", (work / "logs").string()},
                         work / "update.log")),
              0)
        << ReadText(work / "update.log");
    const auto after = StopDc(dc, "dc");
    ExpectProfileEqual(before, after, 16 * (kEightBlocks / 8 * 8) + kBlock);
    const std::string out = ReadText(work / "update.log");
    EXPECT_NE(out.find("The cable is gone"), std::string::npos) << out;
    EXPECT_NE(out.find("The cable is back on " + (work / "dc").string()), std::string::npos) << out;
    const std::string log = ReadText(fs::directory_iterator(work / "logs")->path());
    EXPECT_NE(log.find("the cable's device went away: "), std::string::npos) << "the system's words, for support";
}

// Ctrl-C or a hang-up in the middle of the upload, with nobody to answer: the backup stays, the
// program says where, and the next run writes it back.
class InterruptedOverPty : public UpdateOverPty, public ::testing::WithParamInterface<int> {};

TEST_P(InterruptedOverPty, DuringTheUploadKeepsTheBackupSaysWhereAndTheNextRunWritesItBack) {
    constexpr int kSmallProfileEnd = 600;
    UseSmallFirmware();
    const pid_t first = StartDc("initial", {}, kSmallProfileEnd);
    const auto before = StopDc(first, "initial");
    pid_t dc = StartDc("dc", {"--memory-in", (work / "initial.out").string()}, kSmallProfileEnd);
    const pid_t update = StartUpdate("dc", "keep", "first.log");
    // Off a terminal the backup's row is printed when the upload's row begins.
    ASSERT_TRUE(WaitForText(work / "first.log", "Backup dive computer profile", 20s)) << ReadText(work / "first.log");
    std::this_thread::sleep_for(100ms);
    kill(update, GetParam());
    EXPECT_EQ(Wait(update), 128 + GetParam()) << ReadText(work / "first.log");
    const std::string log = ReadText(work / "first.log");
    EXPECT_NE(log.find("is kept in " + BackupFile().string()), std::string::npos) << log;
    EXPECT_EQ(log.find("The firmware update completed successfully."), std::string::npos) << log;
    ASSERT_TRUE(fs::exists(BackupFile()));
    const fs::path pty = fs::read_symlink(work / "dc");
    EXPECT_FALSE(fs::exists("/var/lock/LCK.." + pty.parent_path().filename().string() + "_" + pty.filename().string()));

    EXPECT_EQ(Update("dc", "keep", "second.log"), 0) << ReadText(work / "second.log");
    const auto after = StopDc(dc, "dc");
    EXPECT_FALSE(fs::exists(BackupFile()));
    ASSERT_EQ(before.size(), after.size());
    EXPECT_TRUE(std::equal(before.begin() + kProfileFirstByte, before.begin() + 16 * (kSmallProfileEnd / 8 * 8) + kBlock,
                           after.begin() + kProfileFirstByte));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedOverPty, ::testing::Values(SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& signal) {
                             return signal.param == SIGINT ? std::string("CtrlC") : std::string("HangUp");
                         });

// The service bench: one verno-update for several cables, each DC with a small profile and its
// own serial number.
class BenchOverPty : public UpdateOverPty {
protected:
    static constexpr int kSmallProfileEnd = 600;
    static constexpr std::size_t kSmallLastByte = 16 * (kSmallProfileEnd / 8 * 8) + kBlock;

    // Starts a DC per name, serial numbers 101 on; `before` receives the memory each starts with.
    std::vector<pid_t> StartDcs(const std::vector<std::string>& names, std::vector<std::vector<std::uint8_t>>& before,
                                const std::string& silent = "") {
        UseSmallFirmware();
        std::vector<pid_t> pids;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const int serial = 101 + static_cast<int>(i);
            const std::string initial = names[i] + "-initial";
            before.push_back(StopDc(StartDc(initial, {}, kSmallProfileEnd, serial), initial));
            std::vector<std::string> extra = {"--memory-in", (work / (initial + ".out")).string()};
            if (names[i] == silent) extra.insert(extra.end(), {"--fault", "silent"});
            pids.push_back(StartDc(names[i], extra, kSmallProfileEnd, serial));
        }
        return pids;
    }
    pid_t StartBench(const std::vector<std::string>& dcs, std::vector<std::string> extra, const std::string& log) {
        std::vector<std::string> argv = {(bundle / "verno-update").string()};
        for (const std::string& dc : dcs) argv.insert(argv.end(), {"--port", (work / dc).string()});
        argv.insert(argv.end(), extra.begin(), extra.end());
        return Spawn(argv, work / log);
    }
    static std::string LineWith(const std::string& text, const std::string& what) {
        const std::size_t at = text.rfind(what);
        if (at == std::string::npos) return {};
        const std::size_t start = text.rfind('\n', at) + 1;
        return text.substr(start, text.find('\n', at) - start);
    }
};

TEST_F(BenchOverPty, ThreeCablesWithASilentDcUpdateTheOthersLiveOnATerminalAndTheSummaryNamesIt) {
    std::vector<std::vector<std::uint8_t>> before;
    const auto dcs = StartDcs({"a", "b", "c"}, before, "b");
    std::vector<std::string> argv = {(bundle / "verno-update").string(), "--log", (work / "logs").string(), "--trace"};
    for (const char* dc : {"a", "b", "c"}) argv.insert(argv.end(), {"--port", (work / dc).string()});
    int terminal = -1;
    const pid_t bench = SpawnOnTerminal(argv, terminal, {"TERM=xterm"});
    int status = -1;
    const std::string out = ReadTerminalToTheEnd(bench, terminal, status);
    EXPECT_EQ(status, 1) << out;
    // A live line per cable, redrawn in place: the silent DC's counts every second while it is searched for.
    EXPECT_NE(out.find("\x1b[3A\x1b[J"), std::string::npos) << out;
    for (int second = 1; second <= 20; ++second)
        EXPECT_NE(out.find((work / "b").string() + "  -  " + std::to_string(second) + " s  "), std::string::npos) << second;
    std::istringstream lines(out);
    bool percentShown = false;
    for (std::string line; std::getline(lines, line);)
        percentShown |= line.find((work / "a").string() + "  000101  ") != std::string::npos && line.ends_with("%");
    EXPECT_TRUE(percentShown) << out;
    // The summary comes last: a line per cable.
    EXPECT_THAT(LineWith(out, (work / "a").string()), ::testing::MatchesRegex(".*000101 +1A +1B .*updated")) << out;
    EXPECT_THAT(LineWith(out, (work / "b").string()),
                ::testing::MatchesRegex(".* - .*failed: The dive computer does not answer\\.")) << out;
    EXPECT_THAT(LineWith(out, (work / "c").string()), ::testing::MatchesRegex(".*000103 +1A +1B .*updated")) << out;
    ExpectProfileEqual(before[0], StopDc(dcs[0], "a"), kSmallLastByte);
    EXPECT_EQ(StopDc(dcs[1], "b"), before[1]);
    ExpectProfileEqual(before[2], StopDc(dcs[2], "c"), kSmallLastByte);

    // A log per cable, named after its DC, with the rows and the bytes on the wire.
    const auto logs = Files(work / "logs");
    ASSERT_EQ(logs.size(), 3u) << out;
    const auto named = [&](const std::string& end) {
        const auto log = std::find_if(logs.begin(), logs.end(), [&](const std::string& name) { return name.ends_with(end); });
        return log == logs.end() ? std::string() : *log;
    };
    EXPECT_NE(named("-000103.log"), "");
    EXPECT_NE(named("-unknown.log"), "");
    ASSERT_NE(named("-000101.log"), "");
    const std::string updated = ReadText(work / "logs" / named("-000101.log"));
    for (const char* expected : {"verno-update ", "identity DEMO-1B", "Uploading firmware  Done", "PC> 84 00",
                                 "\"outcome\":\"updated\""})
        EXPECT_NE(updated.find(expected), std::string::npos) << expected;
}

TEST_F(BenchOverPty, CheckWritesNothingAndItsJsonLinesCarryTheDocumentedKeysAndOneResultPerCable) {
    std::vector<std::vector<std::uint8_t>> before;
    const auto dcs = StartDcs({"a", "b"}, before);
    const pid_t other = StartDc("c", {"--model-tag", "OTHER-9"}, kSmallProfileEnd, 103);  // fails the check
    const auto folder = Files(bundle);
    EXPECT_EQ(Wait(StartBench({"a", "b", "c"}, {"-c", "-j"}, "check.log")), 1);
    std::map<std::string, nlohmann::json> results;
    std::map<std::string, int> linesOf;
    std::istringstream lines(ReadText(work / "check.log"));
    for (std::string line; std::getline(lines, line);) {
        const auto object = nlohmann::ordered_json::parse(line, nullptr, false);
        ASSERT_FALSE(object.is_discarded()) << line;
        if (object["type"] == "result") {
            EXPECT_TRUE(results.emplace(object["port"], object).second) << line;
            continue;
        }
        // Rows and progress: the keys README.md documents, for machines.
        std::vector<std::string> keys;
        for (const auto& item : object.items()) keys.push_back(item.key());
        EXPECT_THAT(keys, ::testing::ElementsAre("type", "port", "serial", "time", "id", "level", "icon", "event",
                                                 "status", "percent")) << line;
        EXPECT_TRUE(object["id"].is_string()) << "every row the program writes has its stable name: " << line;
        EXPECT_THAT(object["time"].get<std::string>(),
                    ::testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}")) << line;
        EXPECT_TRUE(object["percent"].is_null() || object["percent"].is_number_integer()) << line;
        EXPECT_THAT(object["level"].get<std::string>(), ::testing::AnyOf("information", "warning", "error")) << line;
        ++linesOf[object["port"].get<std::string>()];
    }
    for (const char* dc : {"a", "b", "c"}) EXPECT_GT(linesOf[(work / dc).string()], 0) << dc;
    ASSERT_EQ(results.size(), 3u);
    for (const char* dc : {"a", "b"}) {
        const auto& result = results[(work / dc).string()];
        EXPECT_EQ(result["outcome"], "checked");
        EXPECT_EQ(result["would_update"], true);
        EXPECT_EQ(result["version_before"], "1A");
    }
    EXPECT_EQ(results[(work / "b").string()]["serial"], "000102");
    EXPECT_EQ(results[(work / "c").string()]["outcome"], "failed");
    EXPECT_EQ(StopDc(dcs[0], "a"), before[0]);
    EXPECT_EQ(StopDc(dcs[1], "b"), before[1]);
    StopDc(other, "c");
    EXPECT_EQ(Files(bundle), folder);
}

TEST_F(BenchOverPty, CtrlCDuringAThreeCableUploadLeavesEveryProfileInItsDcOrOnDisk) {
    std::vector<std::vector<std::uint8_t>> before;
    const auto dcs = StartDcs({"a", "b", "c"}, before);
    const pid_t bench = StartBench({"a", "b", "c"}, {}, "first.log");
    const auto backups = [&] {
        int saved = 0;
        for (std::size_t at = 0; (at = ReadText(work / "first.log").find("Backup dive computer profile  Done", at)) !=
                                 std::string::npos;
             ++at)
            ++saved;
        return saved;
    };
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (backups() < 3 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(backups(), 3) << ReadText(work / "first.log");
    // Off a terminal each step is shown as it starts, not only when it ends.
    const auto uploadsStarted = [&] {
        std::istringstream lines(ReadText(work / "first.log"));
        int started = 0;
        for (std::string line; std::getline(lines, line);) started += line.ends_with("  Uploading firmware") ? 1 : 0;
        return started;
    };
    while (uploadsStarted() < 3 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(uploadsStarted(), 3) << ReadText(work / "first.log");
    std::this_thread::sleep_for(100ms);
    kill(bench, SIGINT);
    EXPECT_EQ(Wait(bench), 128 + SIGINT);
    const std::string out = ReadText(work / "first.log");
    for (const char* serial : {"000101", "000102", "000103"}) {
        EXPECT_TRUE(fs::exists(bundle / ("6978." + std::string(serial) + ".bin"))) << out;
        EXPECT_NE(LineWith(out, serial).find("stopped before the update ended; profile kept in " + (bundle / "6978.").string()), std::string::npos) << out;
    }

    // The next run writes each kept profile back into its DC.
    EXPECT_EQ(Wait(StartBench({"a", "b", "c"}, {}, "second.log")), 0) << ReadText(work / "second.log");
    for (std::size_t i = 0; i < dcs.size(); ++i) {
        const std::string name(1, static_cast<char>('a' + i));
        ExpectProfileEqual(before[i], StopDc(dcs[i], name), kSmallLastByte);
    }
    EXPECT_EQ(Files(bundle), (std::vector<std::string>{"FirmwareUpdate.lng", "VERNO.1B.FWR", "history", "verno-update"}))
        << "no backup file left; the history keeps every profile read";
}

}  // namespace
}  // namespace verno::e2e
