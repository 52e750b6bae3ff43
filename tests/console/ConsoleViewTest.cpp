#include "console/ConsoleView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/TextNumbers.h"
#include "common/WallClock.h"
#include "console/CableReport.h"
#include "console/Options.h"
#include "console/Terminal.h"
#include "tests/support/Environment.h"

namespace verno::console {
namespace {

std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string out;
    for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
    return out;
}

struct Fixture {
    std::FILE* out = std::tmpfile();
    std::FILE* messages = std::tmpfile();
    MessageButtons asked = MessageButtons::Ok;
    ~Fixture() {
        std::fclose(out);
        std::fclose(messages);
    }
    ConsoleView Make(bool live, ConsoleView::Format format = ConsoleView::Format::Text) {
        return ConsoleView(out, messages, format, live,
                           [this](const std::string&, const std::string&, MessageIcon, MessageButtons b) {
                               asked = b;
                               return MessageAnswer::Cancel;
                           });
    }
};

TEST(ConsoleView, OffATerminalEachRowIsPrintedOnceWithItsFinalStatus) {
    Fixture f;
    {
        auto ui = f.Make(false);
        ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Uploading firmware", "");
        ui.SetTaskStatus("33%");
        ui.SetTaskStatus("Done");
        ui.InsertTaskList(TaskIcon::Error, "09:07:05", "The dive computer did not accept the data.", "");
        ui.InsertTaskList(TaskIcon::Warning, "09:07:05", "No update is needed.", "");
    }
    EXPECT_EQ(Contents(f.out),
              "09:07:05  i  Uploading firmware  Done\n"
              "09:07:05  x  The dive computer did not accept the data.\n"
              "09:07:05  !  No update is needed.\n");
}

TEST(ConsoleView, OnATerminalTheStatusIsRewrittenInPlace) {
    Fixture f;
    {
        auto ui = f.Make(true);
        ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Backup", "...");
        ui.SetTaskStatus("50%");
        ui.SetTaskStatus("50%");
    }
    EXPECT_EQ(Contents(f.out), "09:07:05  i  Backup  ...\r\x1b[K09:07:05  i  Backup  50%\n") << "each figure once";
}

// Windows takes the NUL device for a character device, as it does a console.
TEST(Terminal, NeitherTheNullDeviceNorAFileIsATerminal) {
#ifdef _WIN32
    std::FILE* nothing = std::fopen("NUL", "w");
#else
    std::FILE* nothing = std::fopen("/dev/null", "w");
#endif
    ASSERT_NE(nothing, nullptr);
    std::FILE* file = std::tmpfile();
    for (std::FILE* f : {nothing, file}) {
        EXPECT_FALSE(IsTerminal(fileno(f)));
        EXPECT_FALSE(DrawsInPlace(fileno(f)));
        EXPECT_EQ(TerminalColumns(fileno(f)), 80u);
    }
    std::fclose(nothing);
    std::fclose(file);
}

// The keys README.md documents for row and progress lines, in their order.
const std::vector<std::string> kRowKeys{"type", "port", "serial", "time", "id", "level", "icon", "event", "status", "percent"};

std::vector<nlohmann::ordered_json> JsonLines(const std::string& text) {
    std::vector<nlohmann::ordered_json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::ordered_json::parse(line));
    return lines;
}

TEST(ConsoleView, JsonLinesCarryTheCableEachStepItsProgressAndTheFinishedRowUnderTheDocumentedKeys) {
    Fixture f;
    {
        auto ui = f.Make(true, ConsoleView::Format::Json);
        ui.SetJsonContext([] { return nlohmann::ordered_json{{"port", "/dev/ttyUSB1"}, {"serial", "004711"}}; });
        ui.SetFinalStatuses({"Done", "Failed"});
        ui.SetClock([] { return std::chrono::system_clock::from_time_t(1796722867); });
        ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Uploading firmware", "...", "upload.area1");
        for (const char* status : {"10%", "10%", "20%", "Done"}) ui.SetTaskStatus(status);
        ui.InsertTaskList(TaskIcon::Warning, "09:07:06", "Waiting for the restart", "12 s left");
        ui.SetTaskStatus("Failed");
        ui.InsertTaskList(TaskIcon::Error, "09:07:06", "The dive computer did not accept the data.", "");
    }
    const auto lines = JsonLines(Contents(f.out));
    std::vector<std::string> seen;
    for (const auto& line : lines) {
        std::vector<std::string> keys;
        for (const auto& item : line.items()) keys.push_back(item.key());
        EXPECT_EQ(keys, kRowKeys) << line;
        EXPECT_EQ(line["level"], line["icon"]);
        // std::regex: GoogleTest's own on Windows knows no brackets.
        const std::string time = line["time"].get<std::string>();
        EXPECT_TRUE(std::regex_match(time, std::regex("2026-12-0[78]T[0-9]{2}:[0-9]{2}:07[+-][0-9]{2}:[0-9]{2}"))) << time;
        seen.push_back(line["type"].get<std::string>() + " " + line["status"].get<std::string>() + " " + line["percent"].dump());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"progress ... null", "progress 10% 10", "progress 20% 20", "row Done null",
                                              "progress 12 s left null", "row Failed null", "progress  null", "row  null"}));
    EXPECT_EQ(lines.at(3)["id"], "upload.area1") << "a stable name, whatever the language";
    EXPECT_TRUE(lines.at(4)["id"].is_null());
    EXPECT_EQ(lines.at(4)["level"], "warning");
    EXPECT_EQ(lines.at(7)["level"], "error");
    EXPECT_EQ(lines.at(7)["port"], "/dev/ttyUSB1");
    EXPECT_EQ(lines.at(7)["serial"], "004711");
}

TEST(ConsoleView, IsoTimesCarryTheirZone) {
    const auto when = std::chrono::system_clock::from_time_t(1796722867);
    {
        const ScopedEnvironment zone("TZ", "CET-1");
        EXPECT_EQ(IsoTime(when), "2026-12-08T10:41:07+01:00");
    }
    // West of Greenwich, and half an hour off: the sign and the minutes.
    const ScopedEnvironment zone("TZ", "NST3:30");
    EXPECT_EQ(IsoTime(when), "2026-12-08T06:11:07-03:30");
}

TEST(CableReport, ComesBackFromItsJsonLineAndSumsUpInTheTable) {
    CableReport kept = CableReport::Failed("/dev/ttyUSB0", "The dive computer did not accept the data.");
    kept.serial = 4711;
    kept.cable = "FT1ABCDE";
    kept.versionBefore = kept.versionAfter = "1A";
    kept.profileKeptIn = "/home/diver/.local/state/verno/6978.004711.bin";
    kept.seconds = 61.26;
    const CableReport back = CableReport::FromJson(nlohmann::json::parse(kept.ToJson().dump()));
    EXPECT_EQ(back.ToJson(), kept.ToJson());
    EXPECT_EQ(back.seconds, 61.3);

    CableReport updated;
    updated.port = "/dev/ttyUSB10";
    updated.outcome = "updated";
    updated.versionBefore = "1A";
    updated.versionAfter = "1B";
    EXPECT_TRUE(updated.Succeeded());
    EXPECT_FALSE(back.Succeeded());
    // German words: the heading "Seriennr." and "Anschluss" and an umlaut in "Blöcke" take a column each.
    const std::map<int, std::string> german{
        {text::kSummaryPort, "Anschluss"}, {text::kSummaryCable, "Kabel"}, {text::kSummarySerial, "Seriennr."},
        {text::kSummaryBefore, "Vorher"},
        {text::kSummaryAfter, "Nachher"}, {text::kSummaryTime, "Dauer"}, {text::kSummaryOutcome, "Ergebnis"},
        {text::kOutcomeUpdated, "aktualisiert"}, {text::kOutcomeFailed, "fehlgeschlagen"}, {text::kOutcomeBecause, "%1: %2"},
        {text::kSummaryKeptSentence, "Profil aufbewahrt in %1"}};
    const auto table = SummaryTable({back, updated}, [&](int n) { return german.at(n); });
    EXPECT_EQ(table,
              "Anschluss      Kabel     Seriennr.  Vorher  Nachher  Dauer  Ergebnis\n"
              "/dev/ttyUSB0   FT1ABCDE  004711     1A      1A       61 s   fehlgeschlagen: The dive computer did not accept the data. "
              "Profil aufbewahrt in /home/diver/.local/state/verno/6978.004711.bin\n"
              "/dev/ttyUSB10  -         -          1A      1B       0 s    aktualisiert\n");
    EXPECT_EQ(AlignedColumns({{"Blöcke", "x"}, {"Bytes", "y"}}), "Blöcke  x\nBytes   y\n");
}

TEST(ConsoleView, MessageBoxesGoToTheirOwnStreamAndTheAnswererDecides) {
    Fixture f;
    auto ui = f.Make(false);
    ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Row", "");
    const auto answer = ui.ShowMessage("Profile recovery", "1. One\r\n2. Two\r\n", MessageIcon::Information,
                                       MessageButtons::OkCancel);
    EXPECT_EQ(answer, MessageAnswer::Cancel);
    EXPECT_EQ(f.asked, MessageButtons::OkCancel);
    EXPECT_EQ(Contents(f.messages), "\n[Profile recovery]\n1. One\n2. Two\n\n\n");
    EXPECT_EQ(Contents(f.out), "09:07:05  i  Row\n");  // the held row is printed before the box
}

TEST(ConsoleOptions, OneCableOrManyAndWhatEachOfManyIsGiven) {
    std::string error;
    auto o = ParseOptions({"--port", "/dev/ttyUSB0", "--recover", "yes", "--attempts", "5"}, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->ports, std::vector<std::string>{"/dev/ttyUSB0"});
    EXPECT_EQ(o->recover, RecoverMode::Yes);
    EXPECT_EQ(o->attempts, 5);
    EXPECT_FALSE(o->ManyCables());

    o = ParseOptions({}, error);
    ASSERT_TRUE(o.has_value());
    EXPECT_FALSE(o->recover.has_value());  // decided by whether a terminal is attached
    EXPECT_EQ(o->attempts, 3);

    o = ParseOptions({"--port", "/dev/a", "--port", "/dev/b", "--recover", "keep", "--log", "/tmp/logs", "--trace",
                      "--check"},
                     error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_TRUE(o->ManyCables());
    EXPECT_EQ(OneCableArguments(*o, "/dev/b"),
              (std::vector<std::string>{"--port", "/dev/b", "--json", "--attempts", "3", "--recover", "keep", "--check",
                                        "--log", "/tmp/logs", "--trace"}));

    // The short forms, and a firmware file that every cable's process is given as an absolute path.
    o = ParseOptions({"-p", "/dev/a", "-p", "/dev/b", "-j", "-c", "--firmware", "demo.fwr"}, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_TRUE(o->json && o->check);
    const auto firmware = std::filesystem::absolute("demo.fwr").string();
    EXPECT_EQ(OneCableArguments(*o, "/dev/a"),
              (std::vector<std::string>{"--port", "/dev/a", "--json", "--attempts", "3", "--check", "--firmware", firmware}));
    // Letters beyond ASCII reach the file and every cable's process as they were given.
    o = ParseOptions({"-p", "a", "-p", "b", "--log", "Dörte", "--firmware", "Grüße.fwr"}, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->logFolder, std::filesystem::u8path("Dörte"));
    EXPECT_EQ(o->firmware->filename(), std::filesystem::u8path("Grüße.fwr"));
    const auto args = OneCableArguments(*o, "a");
    EXPECT_TRUE(args.back().ends_with("Grüße.fwr")) << args.back();
    EXPECT_EQ(args.at(args.size() - 3), "Dörte");
    o = ParseOptions({"-a", "-V"}, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_TRUE(o->all && o->version);
    o = ParseOptions({"--restore", "x.bak", "-y"}, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_TRUE(o->yes);

    EXPECT_FALSE(ParseOptions({"--recover", "maybe"}, error).has_value());
    EXPECT_FALSE(ParseOptions({"--attempts", "0"}, error).has_value());
    EXPECT_FALSE(ParseOptions({"--port"}, error).has_value());
    EXPECT_FALSE(ParseOptions({"--port", "/dev/a", "check"}, error).has_value());  // not a second port
    EXPECT_FALSE(ParseOptions({"--trace"}, error).has_value());  // the trace goes into the log
    EXPECT_FALSE(ParseOptions({"--all", "--recover", "ask"}, error).has_value());
    EXPECT_FALSE(ParseOptions({"--bogus"}, error).has_value());
    EXPECT_NE(error.find("--bogus"), std::string::npos);
}

}  // namespace
}  // namespace verno::console
