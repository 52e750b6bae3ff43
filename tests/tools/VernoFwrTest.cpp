// verno-fwr as other programs use it: its JSON keys, its exit status and its messages.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
    int status = -1;
    std::string out;  // stdout and stderr together
};

Outcome Fwr(const std::string& args) {
    Outcome run;
    const std::string command = std::string(VERNO_FWR) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe)) run.out += buffer.data();
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// The JSON object of an info --json run.
nlohmann::ordered_json Json(const Outcome& run) { return nlohmann::ordered_json::parse(run.out, nullptr, false); }

class VernoFwr : public ::testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("verno-fwr-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }
};

TEST_F(VernoFwr, InfoJsonDecodesEveryLayout) {
    ASSERT_EQ(Fwr("demo --layout area1 --area1-blocks 3 " + Path("a1.fwr")).status, 0);
    ASSERT_EQ(Fwr("demo --layout area2 --area2-blocks 2 " + Path("a2.fwr")).status, 0);
    ASSERT_EQ(Fwr("demo --layout both --area1-blocks 3 --area2-blocks 2 " + Path("both.fwr")).status, 0);

    const Outcome a1run = Fwr("info --json " + Path("a1.fwr"));
    EXPECT_EQ(a1run.status, 0);
    const auto a1 = Json(a1run);
    EXPECT_EQ(a1["layout"], "area1") << a1run.out;
    EXPECT_EQ(a1["area1_records"], 3);
    EXPECT_EQ(a1["area2_records"], 0);
    EXPECT_EQ(a1["model_tag"], "DEMO-1B");

    const auto a2 = Json(Fwr("info --json " + Path("a2.fwr")));
    EXPECT_EQ(a2["layout"], "area2");
    EXPECT_EQ(a2["area2_word"], 258);
    EXPECT_EQ(a2["area1_sum"], 0);

    const auto both = Json(Fwr("info --json " + Path("both.fwr")));
    EXPECT_EQ(both["layout"], "both");
    std::vector<std::string> keys;
    for (const auto& [key, value] : both.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"model_number", "model_name", "model_tag", "version", "revision", "layout",
                                              "memory_blocks", "area1_records", "area2_records", "area1_sum", "area2_sum",
                                              "area2_word", "area1_computed", "area2_computed"}));
}

TEST_F(VernoFwr, PackBuildsAFileFromRawAreas) {
    std::ofstream(Path("code.bin"), std::ios::binary) << std::string(300, '\x11');  // three blocks, the last padded
    const Outcome pack = Fwr("pack --layout area1 --version 2C --revision 3 --name \"Test model\" --tag TST --area1 " +
                         Path("code.bin") + " " + Path("p.fwr"));
    ASSERT_EQ(pack.status, 0) << pack.out;
    const Outcome run = Fwr("info --json " + Path("p.fwr"));
    EXPECT_EQ(run.status, 0);
    const auto info = Json(run);
    EXPECT_EQ(info["version"], "2C") << run.out;
    EXPECT_EQ(info["model_name"], "Test model");
    EXPECT_EQ(info["area1_records"], 3);
}

TEST_F(VernoFwr, BrokenFilesAreRefusedWithTheWizardsMessage) {
    ASSERT_EQ(Fwr("demo --layout both --area1-blocks 2 --area2-blocks 2 " + Path("both.fwr")).status, 0);
    {
        std::fstream f(Path("both.fwr"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(131 + 130);  // block byte of area 1's first record
        f.put('\x01');
    }
    const Outcome sum = Fwr("info " + Path("both.fwr"));
    EXPECT_EQ(sum.status, 1);
    EXPECT_NE(sum.out.find("Check sum error 2!"), std::string::npos) << sum.out;

    std::ofstream(Path("short.fwr"), std::ios::binary) << "too short";
    const Outcome shortFile = Fwr("info --json " + Path("short.fwr"));
    EXPECT_EQ(shortFile.status, 1);
    const auto error = Json(shortFile);  // a program reading --json gets JSON on failure too
    EXPECT_EQ(error["error"], "too_short") << shortFile.out;
    EXPECT_EQ(error["file"], Path("short.fwr"));
    EXPECT_NE(error["message"].get<std::string>().find("ends after 9 bytes"), std::string::npos);

    const Outcome missing = Fwr("info " + Path("none.fwr"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("not found"), std::string::npos) << missing.out;
}

TEST_F(VernoFwr, InfoEscapesTextsAndPackWritesNoFileInfoWouldRefuse) {
    std::ofstream(Path("code.bin"), std::ios::binary) << std::string(128, '\x22');
    ASSERT_EQ(Fwr("pack --name 'Say \"hi\" \\ bye' --area1 " + Path("code.bin") + " " + Path("q.fwr")).status, 0);
    EXPECT_EQ(Json(Fwr("info --json " + Path("q.fwr")))["model_name"], "Say \"hi\" \\ bye");

    for (const char* empty : {"--tag ''", "--name ''"}) {
        const Outcome run = Fwr(std::string("pack ") + empty + " --area1 " + Path("code.bin") + " " + Path("e.fwr"));
        EXPECT_EQ(run.status, 2) << empty;
        EXPECT_NE(run.out.find("may not be empty"), std::string::npos) << run.out;
        EXPECT_FALSE(std::filesystem::exists(Path("e.fwr")));
    }
}

TEST_F(VernoFwr, PackRefusesValuesItCannotWrite) {
    std::ofstream(Path("code.bin"), std::ios::binary) << std::string(10, '\x01');
    EXPECT_EQ(Fwr("pack --version 1 --area1 " + Path("code.bin") + " " + Path("x.fwr")).status, 2);
    EXPECT_EQ(Fwr("pack --layout area2 --area1 " + Path("code.bin") + " " + Path("x.fwr")).status, 2);
    EXPECT_EQ(Fwr("pack --area1-start 0x7FFC --area1 " + Path("code.bin") + " " + Path("x.fwr")).status, 0);
    std::ofstream(Path("two.bin"), std::ios::binary) << std::string(200, '\x01');
    const Outcome high = Fwr("pack --area1-start 0x7FFC --area1 " + Path("two.bin") + " " + Path("y.fwr"));
    EXPECT_EQ(high.status, 2);  // the second block would start at 0x8004
    EXPECT_FALSE(std::filesystem::exists(Path("y.fwr")));
    EXPECT_EQ(Fwr("demo --area1-blocks 1025 " + Path("z.fwr")).status, 2);
}

TEST(VernoFwrHelp, FitsATerminalOf80Columns) {
    for (const char* args : {"--help", "info --help", "pack --help"}) {
        const Outcome run = Fwr(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("--help"), std::string::npos) << args;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << args << ": " << line;
    }
}

TEST(VernoFwrBundle, ShipsTheDemoFirmwareTheWizardLooksFor) {
    const Outcome run = Fwr(std::string("info --json ") + VERNO_BUNDLE_FIRMWARE);
    EXPECT_EQ(run.status, 0) << run.out;
    const auto info = Json(run);
    EXPECT_EQ(info["layout"], "area1");
    EXPECT_EQ(info["area1_records"], 192);
}

}  // namespace
