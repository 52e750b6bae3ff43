#include "console/ConsoleView.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/CableReport.h"
#include "console/Options.h"

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

TEST(ConsoleView, OnlyATerminalThatCanMoveItsCursorGetsRowsRewritten) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const char* before = std::getenv("TERM");
    const std::string saved = before ? before : "";
    setenv("TERM", "xterm", 1);
    EXPECT_TRUE(DrawsInPlace(terminal));
    EXPECT_FALSE(DrawsInPlace(pipeEnds[1]));
    setenv("TERM", "dumb", 1);
    EXPECT_FALSE(DrawsInPlace(terminal));
    unsetenv("TERM");
    EXPECT_FALSE(DrawsInPlace(terminal));
    if (before) setenv("TERM", saved.c_str(), 1);
    for (const int fd : {master, terminal, pipeEnds[0], pipeEnds[1]}) close(fd);
}

TEST(ConsoleView, JsonLinesCarryTheCableEachNewPercentageAndTheFinishedRow) {
    Fixture f;
    {
        auto ui = f.Make(true, ConsoleView::Format::Json);
        ui.SetJsonContext([] { return nlohmann::ordered_json{{"port", "/dev/ttyUSB1"}, {"serial", "004711"}}; });
        ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Uploading firmware", "...");
        for (const char* status : {"10%", "10%", "20%", "Done"}) ui.SetTaskStatus(status);
        ui.InsertTaskList(TaskIcon::Error, "09:07:06", "The dive computer did not accept the data.", "");
    }
    EXPECT_EQ(Contents(f.out),
              R"({"type":"progress","port":"/dev/ttyUSB1","serial":"004711","time":"09:07:05","icon":"information","event":"Uploading firmware","status":"10%"})"
              "\n"
              R"({"type":"progress","port":"/dev/ttyUSB1","serial":"004711","time":"09:07:05","icon":"information","event":"Uploading firmware","status":"20%"})"
              "\n"
              R"({"type":"row","port":"/dev/ttyUSB1","serial":"004711","time":"09:07:05","icon":"information","event":"Uploading firmware","status":"Done"})"
              "\n"
              R"({"type":"row","port":"/dev/ttyUSB1","serial":"004711","time":"09:07:06","icon":"error","event":"The dive computer did not accept the data.","status":""})"
              "\n");
}

TEST(CableReport, ComesBackFromItsJsonLineAndSumsUpInTheTable) {
    CableReport kept = CableReport::Failed("/dev/ttyUSB0", "The dive computer did not accept the data.");
    kept.serial = 4711;
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
    EXPECT_EQ(SummaryTable({back, updated}),
              "port           serial  before  after  time  outcome\n"
              "/dev/ttyUSB0   004711  1A      1A     61 s  failed: The dive computer did not accept the data. Profile "
              "kept in /home/diver/.local/state/verno/6978.004711.bin\n"
              "/dev/ttyUSB10  -       1A      1B     0 s   updated\n");
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
